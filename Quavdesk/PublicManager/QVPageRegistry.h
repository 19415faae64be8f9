#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Makes pages by their class name: the page hosts ask for a page by the
// name a page gives, and every page registers its maker under its own
// name. A page registers itself from its own source file:
//
//     QV_REGISTER_PAGE(QVMainViewController)
//
// which makes it with its default constructor. Pages compiled into the
// program (not into a static library, whose unused objects the linker
// drops) are registered before main() runs.
class QVPageRegistry
{
public:
    using Factory = std::function<QWidget *()>;

    static QVPageRegistry &shared();

    QVPageRegistry() = default;
    QVPageRegistry(const QVPageRegistry &) = delete;
    QVPageRegistry &operator=(const QVPageRegistry &) = delete;

    // False, keeping the first maker, when the name is already taken.
    bool registerPage(const QString &className, Factory factory);
    bool contains(const QString &className) const;
    QStringList classNames() const;
    // A new page without a parent; null for a name nobody registered.
    QWidget *makePage(const QString &className) const;

    // For tests: the maker of a name replaced (or added) while the object
    // lives, the earlier state back afterwards.
    class Override
    {
    public:
        Override(QVPageRegistry &registry, const QString &className, Factory factory);
        Override(const QString &className, Factory factory) : Override(shared(), className, std::move(factory)) {}
        ~Override();
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        QVPageRegistry &m_registry;
        QString m_className;
        Factory m_previous;
        bool m_hadPrevious = false;
    };

private:
    mutable QMutex m_mutex;
    QHash<QString, Factory> m_factories;
};

#define QV_PAGE_REGISTRY_CONCAT_(a, b) a##b
#define QV_PAGE_REGISTRY_CONCAT(a, b) QV_PAGE_REGISTRY_CONCAT_(a, b)

// Registers the page class `ClassName` under its own name.
#define QV_REGISTER_PAGE(ClassName)                                                                              \
    namespace {                                                                                                  \
    [[maybe_unused]] const bool QV_PAGE_REGISTRY_CONCAT(qvPageRegistered_, ClassName) =                          \
        QVPageRegistry::shared().registerPage(QStringLiteral(#ClassName), []() -> QWidget * { return new ClassName; }); \
    }
