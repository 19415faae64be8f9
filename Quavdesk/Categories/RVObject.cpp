#include "Categories/RVObject.h"
#include "Categories/RVNumberValue_p.h"

#include <QHash>
#include <QLine>
#include <QLineF>
#include <QMargins>
#include <QMarginsF>
#include <QMetaObject>
#include <QMetaProperty>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QVariant>
#include <memory>
#include <optional>
#include <unordered_map>

namespace {

// The classes from the object's own up to, not including, QObject.
template <typename Visit>
void forEachClassBelowQObject(const QMetaObject *metaObject, Visit visit)
{
    for (const QMetaObject *m = metaObject; m && m != &QObject::staticMetaObject; m = m->superClass())
        visit(m);
}

// The properties a class declares itself (not the inherited ones).
template <typename Visit>
void forEachOwnProperty(const QMetaObject *metaObject, Visit visit)
{
    for (int i = metaObject->propertyOffset(); i < metaObject->propertyCount(); ++i)
        visit(metaObject->property(i));
}

bool canCopy(QObject *destination, const QObject *source)
{
    return destination && source && destination != source && destination->metaObject() == source->metaObject();
}

QObject *objectIn(const QVariant &value)
{
    if (!(value.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return *static_cast<QObject *const *>(value.constData());
}

class DeepCopier
{
public:
    bool copy(QObject *destination, const QObject *source)
    {
        if (!canCopy(destination, source))
            return false;
        m_copies.insert(source, destination);
        forEachClassBelowQObject(source->metaObject(), [&](const QMetaObject *m) {
            forEachOwnProperty(m, [&](const QMetaProperty &property) {
                if (!property.isWritable())
                    return;
                property.write(destination, copied(property.read(source), destination));
            });
        });
        return true;
    }

private:
    QVariant copied(const QVariant &value, QObject *owner)
    {
        const QObject *object = objectIn(value);
        if (!object)
            return value;
        QObject *duplicate = m_copies.value(object);
        if (!duplicate) {
            duplicate = object->metaObject()->newInstance();
            if (!duplicate)
                return value;
            duplicate->setParent(owner);
            copy(duplicate, object);
        }
        // The property's own pointer type: QObject is the first base of
        // every moc class, so the pointer is the same address.
        return QVariant(value.metaType(), &duplicate);
    }

    QHash<const QObject *, QObject *> m_copies;
};

std::optional<RVPropertyClass> propertyClass(QMetaType type)
{
    if (!type.isValid())
        return std::nullopt;
    if (type.flags() & (QMetaType::IsEnumeration | QMetaType::IsUnsignedEnumeration))
        return RVPropertyClass{RVPropertyClass::Number, type};
    if (rvIsNumberType(type))
        return RVPropertyClass{RVPropertyClass::Number, type};
    switch (type.id()) {
    case QMetaType::QPoint:
    case QMetaType::QPointF:
    case QMetaType::QSize:
    case QMetaType::QSizeF:
    case QMetaType::QRect:
    case QMetaType::QRectF:
    case QMetaType::QLine:
    case QMetaType::QLineF:
        return RVPropertyClass{RVPropertyClass::Value, type};
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return RVPropertyClass{RVPropertyClass::String, type};
    case QMetaType::QVariant:
        return std::nullopt;
    default:
        break;
    }
    if (type == QMetaType::fromType<QMargins>() || type == QMetaType::fromType<QMarginsF>())
        return RVPropertyClass{RVPropertyClass::Value, type};
    if (type == QMetaType::fromType<const char *>() || type == QMetaType::fromType<char *>())
        return RVPropertyClass{RVPropertyClass::String, type};
    // Bare pointers to anything but objects carry no class.
    if ((type.flags() & QMetaType::IsPointer) && !(type.flags() & QMetaType::PointerToQObject))
        return std::nullopt;
    return RVPropertyClass{RVPropertyClass::Class, type};
}

} // namespace

bool rv_easyShallowCopy(QObject *destination, const QObject *source)
{
    if (!canCopy(destination, source))
        return false;
    forEachClassBelowQObject(source->metaObject(), [&](const QMetaObject *m) {
        forEachOwnProperty(m, [&](const QMetaProperty &property) {
            if (property.isWritable())
                property.write(destination, property.read(source));
        });
    });
    return true;
}

bool rv_easyDeepCopy(QObject *destination, const QObject *source)
{
    return DeepCopier().copy(destination, source);
}

bool rv_isNSObjectClass(const QMetaObject *metaObject)
{
    for (const QMetaObject *m = metaObject; m; m = m->superClass()) {
        if (m == &QObject::staticMetaObject)
            return true;
    }
    return false;
}

QStringList getPropertyNames(const QObject *object)
{
    QStringList names;
    if (!object)
        return names;
    forEachOwnProperty(object->metaObject(),
                       [&](const QMetaProperty &property) { names.append(QString::fromLatin1(property.name())); });
    return names;
}

const RVPropertyClasses &getPropertyClassesByName(const QObject *object)
{
    static const RVPropertyClasses none;
    if (!object)
        return none;
    // Kept for the life of the process, like the classes themselves; any
    // thread may ask.
    static QMutex lock;
    static std::unordered_map<const QMetaObject *, std::unique_ptr<const RVPropertyClasses>> cache;
    const QMetaObject *metaObject = object->metaObject();
    const QMutexLocker locker(&lock);
    if (const auto found = cache.find(metaObject); found != cache.end())
        return *found->second;

    auto classes = std::make_unique<RVPropertyClasses>();
    forEachClassBelowQObject(metaObject, [&](const QMetaObject *m) {
        forEachOwnProperty(m, [&](const QMetaProperty &property) {
            if (!property.isReadable() || !property.isStored())
                return;
            if (const auto kind = propertyClass(property.metaType()))
                classes->insert(QString::fromLatin1(property.name()), *kind);
        });
    });
    return *cache.emplace(metaObject, std::move(classes)).first->second;
}
