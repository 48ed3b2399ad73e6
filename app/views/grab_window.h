// The grab window: a dock titled "Grab Bar" listing the URLs being fetched
// (URL, Status, Bytes, Level) with the engine's thread count and byte totals
// below. Rows come and go with the engine's events; a 1-second tick reads
// each URL's state.
#pragma once

#include <QDockWidget>
#include <QTimer>
#include <cstdint>
#include <utility>
#include <vector>

class QLabel;
class QTreeView;

namespace corvalin {

class CPagewellDoc;
class GrabUrlModel;

class GrabWindow : public QDockWidget {
    Q_OBJECT
  public:
    GrabWindow(CPagewellDoc* doc, QWidget* parent);

    // Engine events (OnGrabBegin, OnGrabUrlNew, OnGrabUrlDone), on the UI
    // thread in firing order. A URL that came and went within one batch
    // still has its row for that moment, but its address is read from the
    // engine only for the rows that stay.
    void OnEngineEvents(const std::vector<std::pair<int32_t, int32_t>>& events);
    void OnEngineEvent(int32_t event_id, int32_t url_id) { OnEngineEvents({{event_id, url_id}}); }
    // The end of a grab: no more ticks, no rows.
    void Reset();
    // Reads the engine once (what the timer does every second). A failed
    // read ends the tick quietly; the next one tries again.
    void Tick();

    int rows() const;
    bool ticking() const { return timer_.isActive(); }
    GrabUrlModel* model() const { return model_; }
    QTreeView* list() const { return list_; }
    QString threads_text() const;
    QString received_text() const;
    QString sent_text() const;

  signals:
    // A row for the URL was added / removed.
    void urlAdded(int32_t url_id);
    void urlRemoved(int32_t url_id);
    // A tick has read the engine.
    void ticked();

  private:
    void Start();

    CPagewellDoc* doc_;
    GrabUrlModel* model_;
    QTreeView* list_;
    QLabel* threads_;
    QLabel* received_;
    QLabel* sent_;
    QTimer timer_;
};

}  // namespace corvalin
