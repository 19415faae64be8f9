#pragma once

#include <QString>

class QLabel;
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

} // namespace QVTransferRowParts
