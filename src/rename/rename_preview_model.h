// The preview grid sg_rename: old and new name per selected file, and whether the run will
// carry the row out. Rows that will be refused are marked and say why.
#pragma once

#include "rename/rename_run.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace vorn
{

class RenamePreviewModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    // Rows shown before the first preview.
    static constexpr int kInitialRows = 50;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool setHeaderData(int section, Qt::Orientation o, const QVariant &value, int role) override;

    // A new preview: rows and their checks (one per row).
    void setPreview(const QList<RenameRow> &rows, const RenameCheck &check);
    // Empties every row; the row count stays.
    void discard();
    const QList<RenameRow> &rows() const { return rows_; }
    const RenameCheck &check() const { return check_; }
    bool hasPreview() const;
    // The reason texts of refused rows (tooltips), by check, set by the view in its language.
    void setReasonTexts(const QStringList &byCheck) { reasons_ = byCheck; }

  private:
    QList<RenameRow> rows_{QList<RenameRow>(kInitialRows)};
    RenameCheck check_;
    QStringList titles_{QString(), QString()};
    QStringList reasons_;
};

} // namespace vorn
