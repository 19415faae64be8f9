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

QString localizable(const char *key);
// A 24x24 image button that reacts to clicks without a pressed look.
QVBaseButton *imageButton(const QString &image, QWidget *parent);
void whiteText(QLabel *label, int pixelSize);

// A row's file name on one line: a name too long for the row ends in "…"
// instead of being cut at the row's edge, as a table cell's text does; the
// whole name stays in the tip and in `fullText`.
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;
    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    QString m_fullText;
};

} // namespace QVTransferRowParts
