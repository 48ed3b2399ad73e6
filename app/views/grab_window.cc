#include "app/views/grab_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

#include "app/core/grab_display.h"
#include "app/core/pagewell_doc.h"

namespace corvalin {
namespace {

QLabel* Caption(const char* text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* Value(QWidget* parent) {
    auto* label = new QLabel("0", parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("1024.000KB"));
    return label;
}

}  // namespace

GrabWindow::GrabWindow(CPagewellDoc* doc, QWidget* parent)
    : QDockWidget("Grab Bar", parent), doc_(doc) {
    setObjectName("GrabBar");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    list_ = new QTreeWidget(body);
    list_->setObjectName("GrabList");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({"URL", "Status", "Bytes", "Level"});
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->setColumnWidth(1, 75);
    list_->setColumnWidth(2, 80);
    list_->setColumnWidth(3, 50);
    layout->addWidget(list_);
    auto* totals = new QHBoxLayout;
    totals->addStretch();
    threads_ = Value(body);
    received_ = Value(body);
    sent_ = Value(body);
    for (auto [caption, value] : {std::pair{"Threads:", threads_},
                                  std::pair{"Received:", received_}, std::pair{"Sent:", sent_}}) {
        totals->addWidget(Caption(caption, body));
        totals->addWidget(value);
    }
    totals->addStretch();
    layout->addLayout(totals);
    setWidget(body);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &GrabWindow::Tick);
}

void GrabWindow::OnEngineEvent(int32_t event_id, int32_t url_id) {
    switch (event_id) {
        case fw::kOnGrabBegin:
            Start();
            return;
        case fw::kOnGrabUrlNew:
            AddUrl(url_id);
            return;
        case fw::kOnGrabUrlDone:
            RemoveUrl(url_id);
            return;
        default:
            return;
    }
}

void GrabWindow::Start() {
    timer_.start();
    threads_->clear();
    received_->clear();
    sent_->clear();
}

void GrabWindow::AddUrl(int32_t url_id) {
    if (rows_.contains(url_id)) return;
    auto* item = new QTreeWidgetItem(list_, {QString::number(url_id)});
    rows_.insert(url_id, item);
    emit urlAdded(url_id);
    fw::ComPtr<fw::IDizozizUrl> url;
    if (fw::Failed(doc_->engine()->ReadUrl(url_id, url.Receive()))) return;
    std::string text;
    int32_t level = 0;
    if (fw::Succeeded(url->get_url(&text))) item->setText(0, QString::fromStdString(text));
    if (fw::Succeeded(url->get_Level(&level))) item->setText(3, QString::number(level + 1));
}

void GrabWindow::RemoveUrl(int32_t url_id) {
    QTreeWidgetItem* item = rows_.take(url_id);
    if (!item) return;
    std::unique_ptr<QTreeWidgetItem> gone(
        list_->takeTopLevelItem(list_->indexOfTopLevelItem(item)));
    emit urlRemoved(url_id);
}

void GrabWindow::Reset() {
    timer_.stop();
    rows_.clear();
    list_->clear();
}

int GrabWindow::rows() const {
    return list_->topLevelItemCount();
}

void GrabWindow::Tick() {
    fw::IDizoziz* engine = doc_->engine();
    if (!engine) return;
    int32_t threads = 0, received = 0, sent = 0;
    if (fw::Failed(engine->WorkingThreads(&threads)) ||
        fw::Failed(engine->BytesReceived(&received)) || fw::Failed(engine->BytesSent(&sent))) {
        return;  // the next tick tries again
    }
    threads_->setText(QString::number(threads));
    received_->setText(QString::fromStdString(ByteSizeText(static_cast<uint32_t>(received))));
    sent_->setText(QString::fromStdString(ByteSizeText(static_cast<uint32_t>(sent))));
    for (auto it = rows_.cbegin(); it != rows_.cend(); ++it) {
        fw::ComPtr<fw::IDizozizUrlStatus> status;
        int32_t state = 0, bytes = 0;
        if (fw::Failed(engine->UrlStatus(it.key(), status.Receive())) ||
            fw::Failed(status->get_State(&state)) ||
            fw::Failed(status->get_BytesReceived(&bytes))) {
            return;
        }
        it.value()->setText(1, QString::fromStdString(FetchStateText(state)));
        if (bytes != 0) it.value()->setText(2, QString::number(bytes));
    }
}

}  // namespace corvalin
