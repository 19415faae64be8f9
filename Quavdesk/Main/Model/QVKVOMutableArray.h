#pragma once

#include <QList>
#include <QObject>

#include <memory>

// The observable half of a list: its element count, written after every
// change. Observers of countChanged hear of each mutation, also when the
// number stayed the same (a file moved within a queue changes what the
// pages show without changing how many there are).
class QVKVOMutableArrayBase : public QObject
{
    Q_OBJECT
    Q_PROPERTY(quint64 count READ count NOTIFY countChanged)
public:
    explicit QVKVOMutableArrayBase(QObject *parent = nullptr) : QObject(parent) {}

    quint64 count() const { return m_count; }

signals:
    void countChanged(quint64 count);

protected:
    void setCount(quint64 count)
    {
        m_count = count;
        emit countChanged(count);
    }

private:
    quint64 m_count = 0;
};

// A list of shared elements whose every mutator ends by writing `count`.
// Elements compare by identity: the same file object sits in the page's list
// and in one of its queues at once, and equal-looking files stay distinct.
// Readers index and walk mutableArray() directly.
template <class T>
class QVKVOMutableArray : public QVKVOMutableArrayBase
{
public:
    using Element = std::shared_ptr<T>;

    explicit QVKVOMutableArray(QObject *parent = nullptr) : QVKVOMutableArrayBase(parent) {}

    const QList<Element> &mutableArray() const { return m_array; }
    qsizetype size() const { return m_array.size(); }
    bool isEmpty() const { return m_array.isEmpty(); }
    bool containsObject(const Element &element) const { return m_array.contains(element); }
    qsizetype indexOfObject(const Element &element) const { return m_array.indexOf(element); }
    // Null past the end.
    Element objectAtIndex(qsizetype index) const
    {
        return index >= 0 && index < m_array.size() ? m_array.at(index) : Element();
    }
    Element firstObject() const { return objectAtIndex(0); }

    void addObject(Element element)
    {
        m_array.append(std::move(element));
        changed();
    }
    // Removes every occurrence and tells the observers once.
    void removeObject(const Element &element)
    {
        m_array.removeAll(element);
        changed();
    }
    // An index past the end changes nothing (observers are still told).
    void removeObjectAtIndex(qsizetype index)
    {
        if (index >= 0 && index < m_array.size())
            m_array.removeAt(index);
        changed();
    }
    // The index is kept within 0 and the end.
    void insertObject(Element element, qsizetype index)
    {
        m_array.insert(qBound<qsizetype>(0, index, m_array.size()), std::move(element));
        changed();
    }
    void addObjectsFromArray(const QList<Element> &elements)
    {
        m_array.append(elements);
        changed();
    }
    void removeAllObjects()
    {
        m_array.clear();
        changed();
    }

private:
    void changed() { setCount(quint64(m_array.size())); }

    QList<Element> m_array;
};
