#include "app/core/content_hooks.h"

#include <functional>
#include <memory>
#include <vector>

#include "app/core/content_export.h"
#include "app/core/contents_page.h"
#include "app/core/page_rules.h"
#include "app/core/program_files.h"
#include "platform/file_ops.h"

namespace corvalin {
namespace {

// The compiled form of the rules a grab started with, made again only when
// the document's rules change (a new grab).
class CompiledRules {
public:
    const PageRules& For(const std::vector<ReplacementRule>& rules) {
        if (rules != source_) {
            source_ = rules;
            compiled_ = PageRules(rules);
        }
        return compiled_;
    }

private:
    std::vector<ReplacementRule> source_;
    PageRules compiled_;
};

bool WriteContents(CPagewellDoc& doc, const std::function<void()>& walked) {
    std::vector<ContentsEntry> entries;
    if (fw::HRESULT hr = CollectContents(doc.engine(), &entries); fw::Failed(hr)) {
        doc.LogEngineError(hr);
    }
    walked();
    return WriteContentsPage(entries, doc.content_dir(), ProgramDirectory(),
                             ProjectName(doc.path()));
}

}  // namespace

void InstallContentHooks(DocumentHooks* hooks) {
    auto rules = std::make_shared<CompiledRules>();
    hooks->page_finished = [rules](CPagewellDoc& doc, int32_t url_id) {
        std::optional<PageRewrite> outcome;
        const fw::HRESULT hr = RewriteFinishedPage(doc.engine(), doc.content_dir(), url_id,
                                                   rules->For(doc.page_rules()), &outcome);
        if (fw::Failed(hr)) doc.LogEngineError(hr);
    };
    hooks->contents_page = WriteContents;
    hooks->edge_files = [](CPagewellDoc& doc) {
        CopyEdgeFiles(doc.project_file(), ProgramDirectory(), doc.content_dir());
    };
}

bool ExportProjectContent(CPagewellDoc& doc, const ExportRequest& request) {
    if (!doc.project_open() || request.folder.empty()) return false;
    const std::string program_dir = ProgramDirectory();
    bool ok = platform::CreateDirectories(request.folder);
    if (ok) {
        const fw::HRESULT hr =
            ExportContent(doc.engine(), doc.project_file(), doc.content_dir(), program_dir,
                          request.folder, request.url_id, request.page_only);
        if (fw::Failed(hr)) {
            doc.LogEngineError(hr);
            ok = false;
        }
    }
    if (request.autorun) {
        std::string start;
        WriteDiscAutorun(program_dir, request.folder, &start);
    }
    return ok;
}

}  // namespace corvalin
