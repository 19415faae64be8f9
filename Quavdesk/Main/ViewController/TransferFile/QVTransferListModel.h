#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>

#include <functional>
#include <memory>

#include "Main/Model/QVKVOMutableArray.h"

// The rows of a transfer page as a list model over the page's list of files:
// row n is element n. The model follows the list as it changes (files
// appended, files removed) with row insertions and removals, and tells the
// view of a row only when what that row shows changed: its status, or its
// progress. No change rebuilds the other rows.
//
// Roles: the display role is the file's name, the tool-tip role that name as
// a tip shown as it is (never as markup), StatusRole the file's status and
// ProgressRole its bar's value from 0 to 1.
class QVTransferListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        StatusRole = Qt::UserRole + 1,
        ProgressRole,
    };

    explicit QVTransferListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Follows the list's rows (added, removed), then the statuses of every
    // row; only the rows whose status changed are told.
    void refresh();
    // The file of `row` changed: its row is shown again.
    void refreshRow(int row);
    // The transfer reported `progress` for the file of `row`.
    void setReportedProgress(int row, float progress);
    // The row of a file; -1 when it has none.
    int rowOfKey(const void *file) const;

protected:
    // The list as it stands now.
    virtual qsizetype listCount() const = 0;
    virtual std::shared_ptr<void> listFile(qsizetype index) const = 0;
    // What a row shows of its file. `reported` is the last progress the
    // transfer reported since the file's status last changed, or -1.
    virtual qint64 statusOf(const void *file) const = 0;
    virtual QString nameOf(const void *file) const = 0;
    virtual float progressOf(const void *file, float reported) const = 0;

    std::shared_ptr<void> rowFile(int row) const;
    // Follows the list's rows only.
    void syncRows();

private:
    struct Row {
        std::shared_ptr<void> file;
        qint64 status = 0;
        float reported = -1;
    };

    Row rowFor(std::shared_ptr<void> file) const;

    QList<Row> m_rows;
    mutable QHash<const void *, int> m_rowOf;
    mutable bool m_rowOfStale = true;
};

// The model over one page's list of `Model` files. `look` says what a row
// shows of its file.
template <class Model>
class QVTransferRows : public QVTransferListModel
{
public:
    using File = std::shared_ptr<Model>;
    struct Look {
        std::function<QString(const Model &)> name;
        std::function<qint64(const Model &)> status;
        std::function<float(const Model &, float reported)> progress;
    };

    QVTransferRows(const QVKVOMutableArray<Model> &list, Look look, QObject *parent = nullptr)
        : QVTransferListModel(parent), m_list(list), m_look(std::move(look))
    {
        // The list tells of every change as it happens: the rows follow at
        // once, so that a row index always names the same file in the list
        // and in the model.
        connect(&m_list, &QVKVOMutableArrayBase::countChanged, this, [this] { syncRows(); });
        syncRows();
    }

    File fileAt(int row) const { return std::static_pointer_cast<Model>(rowFile(row)); }
    int rowOf(const File &file) const { return file ? rowOfKey(file.get()) : -1; }

protected:
    qsizetype listCount() const override { return m_list.size(); }
    std::shared_ptr<void> listFile(qsizetype index) const override { return m_list.mutableArray().at(index); }
    qint64 statusOf(const void *file) const override { return m_look.status(*static_cast<const Model *>(file)); }
    QString nameOf(const void *file) const override { return m_look.name(*static_cast<const Model *>(file)); }
    float progressOf(const void *file, float reported) const override
    {
        return m_look.progress(*static_cast<const Model *>(file), reported);
    }

private:
    const QVKVOMutableArray<Model> &m_list;
    Look m_look;
};
