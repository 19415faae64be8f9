#pragma once

#include <QLabel>
#include <QString>

class QVBaseButton;
class QWidget;

// The pieces the download and upload rows are built from, so that both
// lists look and behave alike.
namespace QVTransferRowParts {

// Progress bars count in thousandths of the file.
constexpr int ProgressSteps = 1000;
// The bar leaves the name the rest of the row.
constexpr int ProgressWidth = 100;
constexpr int ProgressHeight = 6;

QString localizable(const char *key);
// A 24x24 image button that reacts to clicks without a pressed look.
QVBaseButton *imageButton(const QString &image, QWidget *parent);
// The white, rounded button a failed row offers to take the file up again.
QVBaseButton *continueButton(const QString &text, QWidget *parent);
void whiteText(QLabel *label, int pixelSize);
// A tip that shows `text` as it is: a name that looks like markup is not
// rendered as markup.
QString plainToolTip(const QString &text);

// A one-line label for a file's name: a name longer than the label is cut in
// its middle with an ellipsis, so that its start and its extension stay in
// sight. text() keeps the whole name.
class NameLabel : public QLabel
{
public:
    explicit NameLabel(QWidget *parent = nullptr);
    // The name as drawn at the label's width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace QVTransferRowParts
