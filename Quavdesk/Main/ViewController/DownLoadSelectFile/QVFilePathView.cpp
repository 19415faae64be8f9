#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVPopoverViewController.h"
#include "Categories/RVColor.h"
#include "PublicManager/QVPublicTools.h"

#include <QLabel>

namespace {

constexpr int ButtonHeight = 20;
constexpr int SeparatorWidth = 8;
constexpr int SeparatorHeight = 14;
constexpr int EllipsisWidth = 20;

} // namespace

QVFilePathLayout QVFilePathLayout::compute(const QStringList &names)
{
    QVFilePathLayout layout;
    if (names.isEmpty())
        return layout;
    const bool fits = QVPublicTools::checkEnoughWidthWithArray(names, FontSize, ItemMaxWidth, BarWidth);
    if (fits || names.size() < 4) {
        for (int i = 0; i < names.size(); ++i)
            layout.shown.append(i);
    } else {
        const int n = static_cast<int>(names.size());
        layout.shown = {0, 1, n - 2, n - 1};
    }
    const bool reduced = layout.shown.size() != names.size();
    double x = 0.0;
    for (int i = 0; i < layout.shown.size(); ++i) {
        if (reduced && i == 2) {
            layout.pieces.append({Ellipsis, x, EllipsisWidth, -1});
            const double separator = x + EllipsisRoom;
            layout.pieces.append({Separator, separator, SeparatorWidth, -1});
            x = separator + AfterSeparator;
        }
        const double width = QVPublicTools::getHasBorderWidthWithText(names.at(layout.shown.at(i)), FontSize,
                                                                      ItemMaxWidth);
        layout.pieces.append({Button, x, width, i});
        if (i + 1 < layout.shown.size()) {
            const double separator = x + width + SeparatorGap;
            layout.pieces.append({Separator, separator, SeparatorWidth, -1});
            x = separator + AfterSeparator;
        }
    }
    return layout;
}

QVFilePathView::QVFilePathView(QWidget *parent) : QVBackgrounView(parent)
{
    setObjectName(QStringLiteral("topFilePathView"));
}

QList<QVBaseButton *> QVFilePathView::buttons() const
{
    QList<QVBaseButton *> result;
    for (QObject *child : children()) {
        if (auto *button = qobject_cast<QVBaseButton *>(child))
            result.append(button);
    }
    std::sort(result.begin(), result.end(),
              [](QVBaseButton *a, QVBaseButton *b) { return a->property("tag").toInt() < b->property("tag").toInt(); });
    return result;
}

void QVFilePathView::setFilePathArray(const QList<QVRemoteFileEntryPtr> &array)
{
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->deleteLater();
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setParent(nullptr);

    QStringList names;
    for (const QVRemoteFileEntryPtr &entry : array)
        names.append(entry->name);
    const QVFilePathLayout layout = QVFilePathLayout::compute(names);
    m_filePathArray.clear();
    for (int index : layout.shown)
        m_filePathArray.append(array.at(index));

    const int centre = height() / 2;
    for (const QVFilePathLayout::Piece &piece : layout.pieces) {
        const int x = qRound(piece.x);
        switch (piece.kind) {
        case QVFilePathLayout::Button: {
            QVBaseButton *button = creatBtnWithTag(piece.index);
            button->setGeometry(x, centre - ButtonHeight / 2, qRound(piece.width), ButtonHeight);
            button->show();
            break;
        }
        case QVFilePathLayout::Separator: {
            auto *image = new QLabel(this);
            image->setPixmap(QVNamedImage(QStringLiteral("list_filePath_nextPath")));
            image->setScaledContents(true);
            image->setGeometry(x, centre - SeparatorHeight / 2, SeparatorWidth, SeparatorHeight);
            image->show();
            break;
        }
        case QVFilePathLayout::Ellipsis: {
            auto *ellipsis = new QLabel(QStringLiteral("..."), this);
            QFont font = ellipsis->font();
            font.setPixelSize(12);
            ellipsis->setFont(font);
            ellipsis->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
            ellipsis->setGeometry(x, centre - ButtonHeight / 2, EllipsisWidth, ButtonHeight);
            ellipsis->show();
            break;
        }
        }
    }
}

QVBaseButton *QVFilePathView::creatBtnWithTag(int index)
{
    const QString name = m_filePathArray.at(index)->name;
    auto *button = new QVBaseButton(QVPublicTools::cutOutMaxmunTextWithText(name), this);
    button->setProperty("tag", QVFilePathLayout::ButtonTagBase + index);
    button->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xE5E5E5")));
    button->setIsRadius(true);
    button->setCornerRadius(10.0);
    button->setIsInteraction(true);
    QFont font = button->font();
    font.setPixelSize(qRound(QVFilePathLayout::FontSize));
    button->setFont(font);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, Qt::black);
    button->setPalette(palette);
    button->setPopoverTitle(name);
    button->setPopoverTitleColor(Qt::black);
    button->setIsShowPopover(true);
    // A device's folder name is plain text, never markup.
    if (auto *tip = qobject_cast<QVPopoverViewController *>(button->customPopover()->contentViewController()))
        tip->textLabel()->setTextFormat(Qt::PlainText);
    connect(button, &QAbstractButton::clicked, this, [this, button] { selectFilePath(button); });
    return button;
}

void QVFilePathView::selectFilePath(QVBaseButton *button)
{
    const int index = button->property("tag").toInt() - QVFilePathLayout::ButtonTagBase;
    if (index < 0 || index >= m_filePathArray.size() - 1)
        return;
    if (topFilePathClick)
        topFilePathClick(m_filePathArray.at(index));
}
