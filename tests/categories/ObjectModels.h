#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QVariant>

// Models for the copy and reflection tests: a base with one property, a
// subclass adding values of every kind, objects, a read-only and a
// computed property, and a class without a default constructor.

class ModelBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString tag MEMBER m_tag)

public:
    Q_INVOKABLE explicit ModelBase(QObject *parent = nullptr) : QObject(parent) {}
    QString m_tag;
};

class Leaf : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int value MEMBER m_value)
    Q_PROPERTY(Leaf *partner MEMBER m_partner)

public:
    Q_INVOKABLE explicit Leaf(QObject *parent = nullptr) : QObject(parent) {}
    int m_value = 0;
    Leaf *m_partner = nullptr;
};

// No Q_INVOKABLE constructor: the meta-object system cannot make one.
class Opaque : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int value MEMBER m_value)

public:
    explicit Opaque(int value, QObject *parent = nullptr) : QObject(parent), m_value(value) {}
    int m_value;
};

class Model : public ModelBase
{
    Q_OBJECT
    Q_PROPERTY(QString name MEMBER m_name)
    Q_PROPERTY(int count MEMBER m_count)
    Q_PROPERTY(bool enabled MEMBER m_enabled)
    Q_PROPERTY(double ratio MEMBER m_ratio)
    Q_PROPERTY(QRect frame MEMBER m_frame)
    Q_PROPERTY(QSize size MEMBER m_size)
    Q_PROPERTY(QByteArray bytes MEMBER m_bytes)
    Q_PROPERTY(QStringList names MEMBER m_names)
    Q_PROPERTY(QVariant anything MEMBER m_anything)
    Q_PROPERTY(Leaf *leaf MEMBER m_leaf)
    Q_PROPERTY(Leaf *other MEMBER m_other)
    Q_PROPERTY(Opaque *opaque MEMBER m_opaque)
    Q_PROPERTY(Model *child MEMBER m_child)
    Q_PROPERTY(QString fixed READ fixed CONSTANT)
    Q_PROPERTY(int computed READ computed WRITE setComputed STORED false)
    // Declared again: the base's entry stands in the property classes.
    Q_PROPERTY(int tag MEMBER m_shadowTag)

public:
    Q_INVOKABLE explicit Model(QObject *parent = nullptr) : ModelBase(parent) {}

    QString fixed() const { return m_fixed; }
    int computed() const { return m_count * 2; }
    void setComputed(int value) { m_count = value / 2; }

    QString m_name;
    int m_count = 0;
    bool m_enabled = false;
    double m_ratio = 0;
    QRect m_frame;
    QSize m_size;
    QByteArray m_bytes;
    QStringList m_names;
    QVariant m_anything;
    Leaf *m_leaf = nullptr;
    Leaf *m_other = nullptr;
    Opaque *m_opaque = nullptr;
    Model *m_child = nullptr;
    QString m_fixed = QStringLiteral("fixed");
    int m_shadowTag = 0;
};

class SubModel : public Model
{
    Q_OBJECT

public:
    Q_INVOKABLE explicit SubModel(QObject *parent = nullptr) : Model(parent) {}
};
