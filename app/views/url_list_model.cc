#include "app/views/url_list_model.h"

#include <algorithm>

#include "app/core/contents_page.h"
#include "app/core/pagewell_doc.h"
#include "app/icons.h"

namespace corvalin {

UrlListModel::UrlListModel(CPagewellDoc* doc, QObject* parent)
    : QAbstractTableModel(parent), doc_(doc) {}

void UrlListModel::Clear() {
    beginResetModel();
    rows_.clear();
    sort_column_ = kTitle;
    sort_order_ = Qt::AscendingOrder;
    endResetModel();
}

void UrlListModel::Fill(int32_t url_id) {
    beginResetModel();
    rows_.clear();
    sort_column_ = kTitle;
    sort_order_ = Qt::AscendingOrder;
    if (doc_->project_open() && url_id >= 0) {
        fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(url_id);
        bool file_types = false;
        if (url_id > 0 && url && fw::Succeeded(IsFileTypeStartUrl(url.get(), &file_types)) &&
            file_types) {
            std::vector<int32_t> ids;
            if (const fw::HRESULT hr = FileTypeCollection(doc_->engine(), url_id, &ids);
                fw::Failed(hr)) {
                doc_->LogEngineError(hr);
            }
            for (int32_t id : ids) {
                fw::ComPtr<fw::IDizozizUrl> file;
                fw::HRESULT hr = doc_->engine()->ReadUrl(id, file.Receive());
                if (fw::Succeeded(hr)) hr = AddRow(file.get(), true);
                if (fw::Failed(hr)) {
                    doc_->LogEngineError(hr);  // the rows read before stay
                    break;
                }
            }
        } else if (fw::ComPtr<fw::IDizozizEnumUrl> children = doc_->Children(url_id)) {
            int32_t count = 0;
            fw::HRESULT hr = children->get_Count(&count);
            for (int32_t i = 1; fw::Succeeded(hr) && i <= count; ++i) {
                fw::ComPtr<fw::IDizozizUrl> child;
                hr = children->get_Item(i, child.Receive());
                if (fw::Succeeded(hr)) hr = AddRow(child.get(), false);
            }
            if (fw::Failed(hr)) doc_->LogEngineError(hr);
        }
    }
    std::stable_sort(rows_.begin(), rows_.end(), [this](const Row& a, const Row& b) {
        return Text(a, kTitle).compare(Text(b, kTitle), Qt::CaseInsensitive) < 0;
    });
    endResetModel();
}

fw::HRESULT UrlListModel::AddRow(fw::IDizozizUrl* url, bool file_name) {
    Row row;
    std::string title, address;
    int32_t levels = 0, html = 0, status = 0, error = 0;
    fw::HRESULT hr = url->get_id(&row.id);
    if (fw::Succeeded(hr)) hr = url->get_Title(&title);
    if (fw::Succeeded(hr)) hr = url->get_url(&address);
    if (fw::Succeeded(hr)) hr = url->get_GrabLevels(&levels);
    if (fw::Succeeded(hr)) hr = url->get_Html(&html);
    if (fw::Succeeded(hr)) hr = url->get_Status(&status);
    if (fw::Succeeded(hr)) hr = url->get_Error(&error);
    if (fw::Failed(hr)) return hr;
    row.label = QString::fromStdString(file_name ? FileLabel(address) : title);
    if (row.label.isEmpty()) row.label = QString::fromStdString(address);
    row.skip = levels == -2;
    row.url = QString::fromStdString(address);
    row.image = ListImageOf(html, status, error);
    rows_.push_back(std::move(row));
    return fw::S_OK;
}

int32_t UrlListModel::IdAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[static_cast<size_t>(row)].id
                                                               : -1;
}

int UrlListModel::RowOf(int32_t id) const {
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].id == id) return static_cast<int>(row);
    }
    return -1;
}

void UrlListModel::SetSkip(int row, bool skip) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    rows_[static_cast<size_t>(row)].skip = skip;
    emit dataChanged(index(row, kSkip), index(row, kSkip));
}

QString UrlListModel::Text(const Row& row, int column) const {
    switch (column) {
        case kTitle:
            return row.label;
        case kSkip:
            return row.skip ? QStringLiteral("S") : QString();
        case kUrl:
            return row.url;
        default:
            return QString();
    }
}

int UrlListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int UrlListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant UrlListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return QVariant();
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return Text(row, index.column());
        case Qt::DecorationRole:
            return index.column() == kTitle ? QVariant(UrlIcon(row.image)) : QVariant();
        case Qt::ToolTipRole:
            return row.url;
        case kIdRole:
            return row.id;
        default:
            return QVariant();
    }
}

QVariant UrlListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const kNames[] = {"Title", "Skip", "URL"};
    return section >= 0 && section < kColumns ? QVariant(kNames[section]) : QVariant();
}

Qt::ItemFlags UrlListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void UrlListModel::sort(int column, Qt::SortOrder order) {
    if (column == kSkip || column < 0 || column >= kColumns) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int32_t> ids;
    for (const QModelIndex& i : before) ids.push_back(IdAt(i.row()));
    std::stable_sort(rows_.begin(), rows_.end(), [this, column, order](const Row& a, const Row& b) {
        const int c = Text(a, column).compare(Text(b, column), Qt::CaseInsensitive);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(index(RowOf(ids[static_cast<size_t>(i)]), before[i].column()));
    }
    changePersistentIndexList(before, after);
    sort_column_ = column;
    sort_order_ = order;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace corvalin
