#pragma once

#include <functional>
#include <memory>

#include "Main/Model/QVKVOMutableArray.h"

// The three lists of a transfer page and the moves between them, shared by
// the download and the upload page:
// - fileNormalArray: every file of the page in arrival order (the rows);
// - the work queue: the files still to transfer, its head in transfer;
// - fileFailArray: files that ended in a failure, in the order they failed.
// A file is in at most one of the work queue and the fail list; a finished
// file is in the list only.
//
// Every operation names the file it concerns. A result for a file that is
// no longer queued changes nothing: late answers of deleted or superseded
// transfers cannot land on the file that took their place.
template <class Model>
class QVTransferQueue
{
public:
    using Element = std::shared_ptr<Model>;
    using StatusGetter = qint64 (Model::*)() const;
    using StatusSetter = void (Model::*)(qint64);

    QVTransferQueue(StatusGetter getter, StatusSetter setter, qint64 inTransferStatus, qint64 doneStatus)
        : m_getter(getter), m_setter(setter), m_inTransfer(inTransferStatus), m_done(doneStatus)
    {
    }

    QVKVOMutableArray<Model> &fileNormalArray() { return m_normal; }
    QVKVOMutableArray<Model> &workQueue() { return m_queue; }
    QVKVOMutableArray<Model> &fileFailArray() { return m_fail; }
    const QVKVOMutableArray<Model> &fileNormalArray() const { return m_normal; }
    const QVKVOMutableArray<Model> &workQueue() const { return m_queue; }
    const QVKVOMutableArray<Model> &fileFailArray() const { return m_fail; }

    Element head() const { return m_queue.firstObject(); }
    bool isHead(const Element &file) const { return file && head() == file; }
    bool isQueued(const Element &file) const { return m_queue.containsObject(file); }
    bool isFailed(const Element &file) const { return m_fail.containsObject(file); }
    bool contains(const Element &file) const { return m_normal.containsObject(file); }

    // New files join the list and the work queue in their order.
    void addFiles(const QList<Element> &files)
    {
        m_normal.addObjectsFromArray(files);
        m_queue.addObjectsFromArray(files);
    }

    // A failed file goes back to the end of the work queue with `status`.
    // Only a member of the fail list moves (a second click on the same row,
    // or a row that is not failed, changes nothing). True when the file is
    // now the only queued one, so that the caller starts it.
    bool continueFile(const Element &file, qint64 status)
    {
        if (!file || !m_fail.containsObject(file))
            return false;
        (file.get()->*m_setter)(status);
        m_queue.addObject(file);
        m_fail.removeObject(file);
        return m_queue.size() == 1;
    }

    // The outcome of a queued file: it gets `status`; unless in transfer it
    // leaves the work queue, and unless done it joins the fail list. False
    // when the file is not queued (nothing changes then).
    bool setResult(const Element &file, qint64 status)
    {
        if (!file || !m_queue.containsObject(file))
            return false;
        (file.get()->*m_setter)(status);
        if (status == m_inTransfer)
            return true;
        m_queue.removeObject(file);
        if (status != m_done && !m_fail.containsObject(file))
            m_fail.addObject(file);
        return true;
    }

    // Every queued file gets `status` and joins the fail list in queue order;
    // the queue empties.
    void moveQueueToFail(qint64 status)
    {
        const QList<Element> queued = m_queue.mutableArray();
        for (const Element &file : queued) {
            (file.get()->*m_setter)(status);
            if (!m_fail.containsObject(file))
                m_fail.addObject(file);
        }
        m_queue.removeAllObjects();
    }

    // Failed files for which `take` holds go back to the work queue, in
    // fail-list order, after `prepare`. Answers the files moved.
    QList<Element> moveFailToQueue(const std::function<bool(const Model &)> &take,
                                   const std::function<void(Model &)> &prepare)
    {
        QList<Element> moved;
        const QList<Element> failed = m_fail.mutableArray();
        for (const Element &file : failed) {
            if (!take(*file))
                continue;
            prepare(*file);
            moved.append(file);
            m_fail.removeObject(file);
        }
        if (!moved.isEmpty())
            m_queue.addObjectsFromArray(moved);
        return moved;
    }

    // The failed files of status `withStatus` go back with `newStatus`.
    QList<Element> moveFailToQueue(qint64 withStatus, qint64 newStatus)
    {
        return moveFailToQueue([&](const Model &file) { return (file.*m_getter)() == withStatus; },
                               [&](Model &file) { (file.*m_setter)(newStatus); });
    }

    // The file leaves every list.
    void removeFile(const Element &file)
    {
        m_normal.removeObject(file);
        m_queue.removeObject(file);
        m_fail.removeObject(file);
    }

    // The lists' invariant, for checks.
    bool invariantHolds() const
    {
        for (const Element &file : m_queue.mutableArray()) {
            if (m_fail.containsObject(file) || !m_normal.containsObject(file)
                || m_queue.mutableArray().count(file) != 1)
                return false;
        }
        for (const Element &file : m_fail.mutableArray()) {
            if (!m_normal.containsObject(file) || m_fail.mutableArray().count(file) != 1)
                return false;
        }
        return true;
    }

private:
    StatusGetter m_getter;
    StatusSetter m_setter;
    qint64 m_inTransfer;
    qint64 m_done;
    QVKVOMutableArray<Model> m_normal;
    QVKVOMutableArray<Model> m_queue;
    QVKVOMutableArray<Model> m_fail;
};
