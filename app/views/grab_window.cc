#include "app/views/grab_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/core/grab_display.h"
#include "app/core/pagewell_doc.h"
#include "app/views/grab_url_model.h"

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
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance("1024.000KB "));
    return label;
}

}  // namespace

GrabWindow::GrabWindow(CPagewellDoc* doc, QWidget* parent)
    : QDockWidget("Grab Bar", parent), doc_(doc) {
    setObjectName("GrabBar");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    model_ = new GrabUrlModel(this);
    list_ = new QTreeView(body);
    list_->setObjectName("GrabList");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setFrameShape(QFrame::StyledPanel);
    list_->setFrameShadow(QFrame::Sunken);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(GrabUrlModel::kUrl, QHeaderView::Stretch);
    list_->setColumnWidth(GrabUrlModel::kStatus, 75);
    list_->setColumnWidth(GrabUrlModel::kBytes, 80);
    list_->setColumnWidth(GrabUrlModel::kLevel, 50);
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

void GrabWindow::OnEngineEvents(const std::vector<std::pair<int32_t, int32_t>>& events) {
    std::vector<int32_t> added;
    // Rows that ended are taken out together, in one sweep of the model;
    // before a row could come again, and at the end of the batch.
    QSet<int32_t> gone;
    const auto sweep = [&] {
        model_->Remove(gone);
        gone.clear();
    };
    for (const auto& [event_id, url_id] : events) {
        switch (event_id) {
            case fw::kOnGrabBegin:
                sweep();
                Start();
                break;
            case fw::kOnGrabUrlNew:
                if (gone.contains(url_id)) sweep();
                if (model_->Add(url_id)) {
                    added.push_back(url_id);
                    emit urlAdded(url_id);
                }
                break;
            case fw::kOnGrabUrlDone:
                // A page is announced again once its links are fixed; its
                // row went with the first.
                if (model_->Contains(url_id) && !gone.contains(url_id)) {
                    gone.insert(url_id);
                    emit urlRemoved(url_id);
                }
                break;
            default:
                break;
        }
    }
    sweep();
    for (int32_t url_id : added) {
        if (!model_->Contains(url_id)) continue;
        fw::ComPtr<fw::IDizozizUrl> url;
        std::string text;
        int32_t level = 0;
        if (fw::Succeeded(doc_->engine()->ReadUrl(url_id, url.Receive()))) {
            url->get_url(&text);
            url->get_Level(&level);
        }
        model_->Describe(url_id, QString::fromStdString(text), level);
    }
}

void GrabWindow::Start() {
    timer_.start();
    threads_->clear();
    received_->clear();
    sent_->clear();
}

void GrabWindow::Reset() {
    timer_.stop();
    model_->Clear();
}

int GrabWindow::rows() const {
    return model_->rowCount();
}

QString GrabWindow::threads_text() const {
    return threads_->text();
}
QString GrabWindow::received_text() const {
    return received_->text();
}
QString GrabWindow::sent_text() const {
    return sent_->text();
}

void GrabWindow::Tick() {
    fw::IDizoziz* engine = doc_->engine();
    if (!engine) return;
    int32_t threads = 0, received = 0, sent = 0;
    if (fw::Failed(engine->WorkingThreads(&threads)) ||
        fw::Failed(engine->BytesReceived(&received)) || fw::Failed(engine->BytesSent(&sent))) {
        return;
    }
    threads_->setText(QString::number(threads));
    // The engine counts in 32 bits; read as unsigned, the count lasts to 4 GB.
    received_->setText(QString::fromStdString(ByteSizeText(static_cast<uint32_t>(received))));
    sent_->setText(QString::fromStdString(ByteSizeText(static_cast<uint32_t>(sent))));
    std::vector<GrabUrlModel::RowState> states;
    for (int32_t id : model_->ids()) {
        fw::ComPtr<fw::IDizozizUrlStatus> status;
        int32_t state = 0, bytes = 0;
        if (fw::Failed(engine->UrlStatus(id, status.Receive())) ||
            fw::Failed(status->get_State(&state)) ||
            fw::Failed(status->get_BytesReceived(&bytes))) {
            model_->SetStates(states);
            return;
        }
        states.push_back({id, QString::fromStdString(FetchStateText(state)), bytes});
    }
    model_->SetStates(states);
    emit ticked();
}

}  // namespace corvalin
