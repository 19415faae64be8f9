#include "BaseViewController/View/QVBaseViewController.h"

QVBaseViewController::QVBaseViewController(QWidget *parent)
    : QWidget(parent)
{
}

void QVBaseViewController::setCannotChangedSize(const QSize &size)
{
    QWidget *viewWindow = window();
    viewWindow->setMinimumSize(size);
    viewWindow->setMaximumSize(size);
}

void QVBaseViewController::setViewWindowFrame(const QRect &frame)
{
    QWidget *viewWindow = window();
    viewWindow->setGeometry(frame);
    viewWindow->repaint();
}
