// The grab window: a dock titled "Grab Bar" listing the URLs being fetched
// (URL, Status, Bytes, Level) with the engine's thread count and byte totals
// below. Rows come and go with the engine's events; a 1-second tick reads
// each URL's state.
#pragma once

#include <QDockWidget>
#include <QHash>
#include <QTimer>
#include <cstdint>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvalin {

class CPagewellDoc;

class GrabWindow : public QDockWidget {
    Q_OBJECT
  public:
    GrabWindow(CPagewellDoc* doc, QWidget* parent);

    // An engine event (OnGrabBegin, OnGrabUrlNew, OnGrabUrlDone), on the UI
    // thread in firing order.
    void OnEngineEvent(int32_t event_id, int32_t url_id);
    // The end of a grab: no more ticks, no rows.
    void Reset();
    // Reads the engine once (what the timer does every second).
    void Tick();

    int rows() const;
    bool ticking() const { return timer_.isActive(); }

  signals:
    // A row for the URL was added / removed.
    void urlAdded(int32_t url_id);
    void urlRemoved(int32_t url_id);

  private:
    void Start();
    void AddUrl(int32_t url_id);
    void RemoveUrl(int32_t url_id);

    CPagewellDoc* doc_;
    QTreeWidget* list_;
    QLabel* threads_;
    QLabel* received_;
    QLabel* sent_;
    QTimer timer_;
    QHash<int32_t, QTreeWidgetItem*> rows_;  // the list's items by URL id
};

}  // namespace corvalin
