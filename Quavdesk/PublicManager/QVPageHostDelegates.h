#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

// How pages ask the page host of their window for another page, by the
// page's class name. Each host answers its own operation; the others keep
// the default, which does nothing.

// The main window's host.
class QVRootViewControllerDelegate
{
public:
    virtual ~QVRootViewControllerDelegate() = default;
    virtual void showNextPageViewWithClassStr(const QString & /*classStr*/) {}
};

// The settings window's host.
class QVSettingRootViewControllerDelegate
{
public:
    virtual ~QVSettingRootViewControllerDelegate() = default;
    virtual void showSettingNextPageViewWithClassStr(const QString & /*classStr*/) {}
};

// The download window's host. It switches pages under the settings host's
// operation name; this one is declared and answers nothing.
class QVDownLoadFileRootVCDelegate
{
public:
    virtual ~QVDownLoadFileRootVCDelegate() = default;
    virtual void showDownLoadFileNextPageViewWithClassStr(const QString & /*classStr*/) {}
};

// A reference to a delegate that does not keep it alive: it reads null once
// the object behind the delegate has been destroyed. The object must be a
// QObject for that; any other delegate is held as a plain pointer.
template <class Delegate>
class QVWeakDelegate
{
public:
    void set(Delegate *delegate)
    {
        m_delegate = delegate;
        m_object = dynamic_cast<QObject *>(delegate);
        m_watched = m_object != nullptr;
    }
    Delegate *get() const
    {
        if (m_watched && m_object.isNull())
            return nullptr;
        return m_delegate;
    }

private:
    Delegate *m_delegate = nullptr;
    QPointer<QObject> m_object;
    bool m_watched = false;
};
