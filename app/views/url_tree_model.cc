#include "app/views/url_tree_model.h"

#include <algorithm>

#include "app/core/contents_page.h"
#include "app/core/pagewell_doc.h"
#include "app/core/url_labels.h"
#include "app/icons.h"

namespace corvalin {

struct UrlTreeModel::Node {
    int32_t id = 0;
    QString label;
    bool grabbed = false;
    bool may_have_children = true;  // the expand button shows until proven otherwise
    bool fetched = false;
    Node* parent = nullptr;
    int row = 0;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

// What a node shows of a URL.
struct NodeFields {
    std::string notes;  // start URLs only
    std::string title;
    std::string url;
    int32_t status = 0;
    int32_t error = 0;
};

fw::HRESULT ReadFields(fw::IDizozizUrl* url, bool start_url, NodeFields* f) {
    fw::HRESULT hr = start_url ? url->get_Notes(&f->notes) : fw::S_OK;
    if (fw::Succeeded(hr)) hr = url->get_Title(&f->title);
    if (fw::Succeeded(hr)) hr = url->get_url(&f->url);
    if (fw::Succeeded(hr)) hr = url->get_Status(&f->status);
    if (fw::Succeeded(hr)) hr = url->get_Error(&f->error);
    return hr;
}

}  // namespace

UrlTreeModel::UrlTreeModel(CPagewellDoc* doc, QObject* parent)
    : QAbstractItemModel(parent), doc_(doc), root_(std::make_unique<Node>()) {
    root_->fetched = true;
}

UrlTreeModel::~UrlTreeModel() = default;

std::unique_ptr<UrlTreeModel::Node> UrlTreeModel::MakeNode(int32_t id, bool start_url,
                                                           Node* parent) const {
    fw::ComPtr<fw::IDizozizUrl> url = doc_->Url(id);
    if (!url) return nullptr;
    NodeFields f;
    if (const fw::HRESULT hr = ReadFields(url.get(), start_url, &f); fw::Failed(hr)) {
        doc_->LogEngineError(hr);
        return nullptr;
    }
    auto node = std::make_unique<Node>();
    node->id = id;
    node->label = QString::fromStdString(start_url ? StartUrlLabel(f.notes, f.title, f.url)
                                                   : UrlLabel(f.title, f.url));
    node->grabbed = TreeImageOf(f.status, f.error) == UrlImage::kGrabbed;
    node->parent = parent;
    return node;
}

void UrlTreeModel::Fill() {
    beginResetModel();
    root_->children.clear();
    if (doc_->project_open()) {
        for (int32_t id : doc_->StartUrlIds()) {
            if (auto node = MakeNode(id, true, root_.get())) {
                node->row = static_cast<int>(root_->children.size());
                root_->children.push_back(std::move(node));
            }
        }
    }
    endResetModel();
}

void UrlTreeModel::AppendStartUrl(int32_t id) {
    auto node = MakeNode(id, true, root_.get());
    if (!node) return;
    const int row = static_cast<int>(root_->children.size());
    node->row = row;
    beginInsertRows(QModelIndex(), row, row);
    root_->children.push_back(std::move(node));
    endInsertRows();
}

int32_t UrlTreeModel::IdOf(const QModelIndex& index) const {
    const Node* node = NodeOf(index);
    return node && node != root_.get() ? node->id : -1;
}

void UrlTreeModel::ReloadLabel(const QModelIndex& index) {
    Node* node = NodeOf(index);
    if (!node || node == root_.get()) return;
    if (auto fresh = MakeNode(node->id, IsStartUrl(index), node->parent)) {
        node->label = fresh->label;
        node->grabbed = fresh->grabbed;
        emit dataChanged(index, index);
    }
}

std::vector<std::unique_ptr<UrlTreeModel::Node>> UrlTreeModel::ReadChildren(Node* node) const {
    std::vector<std::unique_ptr<Node>> children;
    if (!doc_->HasChildren(node->id)) return children;
    if (node->parent == root_.get()) {
        fw::ComPtr<fw::IDizozizUrl> start = doc_->Url(node->id);
        bool file_types = false;
        if (!start || fw::Failed(IsFileTypeStartUrl(start.get(), &file_types)) || file_types) {
            return children;
        }
    }
    fw::ComPtr<fw::IDizozizEnumUrl> urls = doc_->Children(node->id);
    int32_t count = 0;
    if (!urls || fw::Failed(urls->get_Count(&count))) return children;
    // A failure ends the walk; what was read before it is shown.
    for (int32_t i = 1; i <= count; ++i) {
        fw::ComPtr<fw::IDizozizUrl> url;
        int32_t html = 0, id = 0;
        fw::HRESULT hr = urls->get_Item(i, url.Receive());
        if (fw::Succeeded(hr)) hr = url->get_Html(&html);
        if (fw::Succeeded(hr)) hr = url->get_id(&id);
        if (fw::Failed(hr)) {
            doc_->LogEngineError(hr);
            break;
        }
        if (html != fw::kKindHtml || !doc_->HasChildren(id)) continue;
        NodeFields f;
        if (hr = ReadFields(url.get(), false, &f); fw::Failed(hr)) {
            doc_->LogEngineError(hr);
            break;
        }
        auto child = std::make_unique<Node>();
        child->id = id;
        child->label = QString::fromStdString(UrlLabel(f.title, f.url));
        child->grabbed = TreeImageOf(f.status, f.error) == UrlImage::kGrabbed;
        child->parent = node;
        children.push_back(std::move(child));
    }
    std::stable_sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
        return a->label.compare(b->label, Qt::CaseInsensitive) < 0;
    });
    for (size_t row = 0; row < children.size(); ++row) children[row]->row = static_cast<int>(row);
    return children;
}

UrlTreeModel::Node* UrlTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex UrlTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const Node* node = NodeOf(parent);
    if (column != 0 || row < 0 || static_cast<size_t>(row) >= node->children.size()) {
        return QModelIndex();
    }
    return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
}

QModelIndex UrlTreeModel::parent(const QModelIndex& child) const {
    const Node* node = NodeOf(child);
    if (!child.isValid() || !node->parent || node->parent == root_.get()) return QModelIndex();
    return createIndex(node->parent->row, 0, node->parent);
}

int UrlTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(NodeOf(parent)->children.size());
}

int UrlTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant UrlTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const Node* node = NodeOf(index);
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return node->label;
        case Qt::DecorationRole:
            return UrlIcon(node->grabbed ? UrlImage::kGrabbed : UrlImage::kNotGrabbed);
        case kIdRole:
            return node->id;
        default:
            return QVariant();
    }
}

bool UrlTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !IsStartUrl(index)) return false;
    Node* node = NodeOf(index);
    const std::optional<std::string> label =
        doc_->RenameStartUrl(node->id, value.toString().left(kMaxTitle).toStdString());
    if (!label) return false;
    node->label = QString::fromStdString(*label);
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags UrlTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (IsStartUrl(index)) flags |= Qt::ItemIsEditable;
    return flags;
}

bool UrlTreeModel::hasChildren(const QModelIndex& parent) const {
    if (parent.column() > 0) return false;
    const Node* node = NodeOf(parent);
    return node->fetched ? !node->children.empty() : node->may_have_children;
}

bool UrlTreeModel::canFetchMore(const QModelIndex& parent) const {
    const Node* node = NodeOf(parent);
    return parent.isValid() && !node->fetched && node->may_have_children;
}

void UrlTreeModel::fetchMore(const QModelIndex& parent) {
    Node* node = NodeOf(parent);
    if (!canFetchMore(parent)) return;
    node->fetched = true;
    std::vector<std::unique_ptr<Node>> children = ReadChildren(node);
    if (children.empty()) {
        // The node loses its expand button.
        node->may_have_children = false;
        emit layoutAboutToBeChanged({QPersistentModelIndex(parent)});
        emit layoutChanged({QPersistentModelIndex(parent)});
        return;
    }
    beginInsertRows(parent, 0, static_cast<int>(children.size()) - 1);
    node->children = std::move(children);
    endInsertRows();
}

}  // namespace corvalin
