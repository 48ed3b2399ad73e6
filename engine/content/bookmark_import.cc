#include "engine/content/bookmark_import.h"

#include "engine/content/html_scanner.h"
#include "engine/content/html_text.h"
#include "engine/store/project_store.h"
#include "platform/text.h"

namespace fw {

namespace {

class BookmarkScanner : public HtmlScanner {
  public:
    BookmarkScanner(ProjectStore& store, const std::function<void(int32_t)>& added)
        : store_(store), added_(added) {}

  protected:
    void OnHref(std::string_view value) override {
        const std::string url = platform::Trim(DecodeEntities(value));
        if (!url.starts_with("http://") && !url.starts_with("https://") &&
            !url.starts_with("ftp://")) {
            return;
        }
        const ProjectStore::Added row = store_.AddUrl(0, 0, 0, url);
        if (row.id > 0 && added_) added_(row.id);
    }

  private:
    ProjectStore& store_;
    const std::function<void(int32_t)>& added_;
};

}  // namespace

bool BookmarkImport(const std::string& file, ProjectStore& store,
                    const std::function<void(int32_t)>& added) {
    auto guard = store.Lock();
    BookmarkScanner scanner(store, added);
    return scanner.ScanFile(file);
}

}  // namespace fw
