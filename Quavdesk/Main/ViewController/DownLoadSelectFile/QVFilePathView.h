#pragma once

#include "BaseViewController/View/QVBackgrounView.h"
#include "Main/Browse/QVRemoteFileModels.h"

#include <QList>
#include <QStringList>

#include <functional>

class QVBaseButton;

// Where the pieces of the path bar go, from the folders' names alone.
struct QVFilePathLayout {
    static constexpr double FontSize = 14.0;
    static constexpr double ItemMaxWidth = 58.0;
    static constexpr double BarWidth = 660.0;
    static constexpr double SeparatorGap = 7.0;
    static constexpr double AfterSeparator = 15.0;
    static constexpr double EllipsisRoom = 27.0;
    static constexpr int ButtonTagBase = 100;

    enum Kind { Button, Separator, Ellipsis };
    struct Piece {
        Kind kind = Button;
        double x = 0.0;
        double width = 0.0;
        // Buttons: the index into the shown elements.
        int index = -1;
    };

    // Indices of the elements the bar shows: all when they fit, else the
    // first two and the last two.
    QList<int> shown;
    QList<Piece> pieces;

    static QVFilePathLayout compute(const QStringList &names);
};

// The path from the root to the open folder, one button per folder (its
// name cut to three characters when long, the whole name as a tip),
// separated by arrows; a path too long for the bar shows its first two and
// last two folders around "...". A click on any folder but the open one
// reports that folder.
class QVFilePathView : public QVBackgrounView
{
    Q_OBJECT
public:
    explicit QVFilePathView(QWidget *parent = nullptr);

    std::function<void(const QVRemoteFileEntryPtr &)> topFilePathClick;

    // The elements as shown (the reduced path when it overflows).
    QList<QVRemoteFileEntryPtr> filePathArray() const { return m_filePathArray; }
    void setFilePathArray(const QList<QVRemoteFileEntryPtr> &array);
    // The folder buttons, in order.
    QList<QVBaseButton *> buttons() const;

    void selectFilePath(QVBaseButton *button);

private:
    QVBaseButton *creatBtnWithTag(int index);

    QList<QVRemoteFileEntryPtr> m_filePathArray;
};
