#pragma once

#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>

class QObject;
struct QMetaObject;

// Copies and reflection over the properties that classes declare with
// Q_PROPERTY (the meta-object system stands in for a run time that lists
// every class's properties). They run on the calling thread.

// Copies every writable property of `source` onto `destination`, walking
// the class and its superclasses up to but not including QObject. Both
// must be of exactly the same class, and not the same object; otherwise
// nothing is copied and the answer is false. For QObject itself there is
// nothing to copy (true).
bool rv_easyShallowCopy(QObject *destination, const QObject *source);
// The same walk, but a property holding an object (a QObject-derived
// pointer) gets a new object of that class, made with its Q_INVOKABLE
// default constructor and filled by this same deep copy; values are copied
// as values. Each source object is copied once, so shared children stay
// shared and a cycle is copied as a cycle. New objects are children of the
// destination, which thereby owns them. An object whose class has no such
// constructor is shared, not copied.
bool rv_easyDeepCopy(QObject *destination, const QObject *source);

// True when the class descends from QObject (or is QObject).
bool rv_isNSObjectClass(const QMetaObject *metaObject);

// The names of the properties that the object's own class declares, in
// declaration order; inherited ones are left out.
QStringList getPropertyNames(const QObject *object);

// What kind of value a property holds.
struct RVPropertyClass {
    enum Kind {
        Number,  // booleans, integers, floating point numbers, enumerations
        Value,   // geometric structures: points, sizes, rectangles, lines, margins
        String,  // QString, QByteArray, C strings
        Class,   // any other class: `type` names it (an object's pointer type for objects)
    };
    Kind kind;
    QMetaType type;

    bool operator==(const RVPropertyClass &other) const { return kind == other.kind && type == other.type; }
};
using RVPropertyClasses = QMap<QString, RVPropertyClass>;

// Property name to the kind of its values, for the stored, readable
// properties of the object's class and its superclasses up to QObject. A
// property of type QVariant (any value) gets no entry; where a subclass and
// a superclass declare the same name, the superclass's entry stands. Made
// once per class and kept: later calls for any object of the class return
// the same map.
const RVPropertyClasses &getPropertyClassesByName(const QObject *object);
