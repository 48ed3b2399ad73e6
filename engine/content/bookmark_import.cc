#include "engine/content/bookmark_import.h"

#include "engine/content/html_scanner.h"
#include "engine/content/html_text.h"
#include "engine/content/web_address.h"
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
        // Absolute web addresses only: a bookmark list has nothing to resolve against.
        const ProjectStore::Added row = AddImportedAddress(store_, platform::Trim(DecodeEntities(value)));
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
