#include "app/views/pagewell_view.h"

#include "app/core/pagewell_doc.h"

namespace corvalin {

CPagewellView::CPagewellView(CPagewellDoc* doc, QWidget* parent) : QListWidget(parent), doc_(doc) {
    setObjectName("UrlList");
}

void CPagewellView::OnUpdate(int hint) {
    if (hint != kHintSelectionChanged) return;
    clear();
    (void)doc_;
}

}  // namespace corvalin
