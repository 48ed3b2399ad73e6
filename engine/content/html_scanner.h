// HtmlScanner: the one table-driven scanner every HTML pass is built on.
//
// Pages are never parsed into a tree. The scanner recognises the handful of
// tags and attributes that carry links and calls one virtual action for each
// construct; the rest of the page goes to OnText. A pass (link extraction,
// the link-rewriting passes, bookmark import) derives from it and overrides
// only the actions it needs. In this class every action does nothing, so text
// handed to an action that a pass does not override is left out of that
// pass's output.
//
// Matching is longest-match and ignores case in tag and attribute words; an
// attribute is found anywhere inside its tag, also as the end of a longer word
// (xsrc counts as src, data-src as src). A style attribute is found in any
// tag but meta, link, base, param, script and style, except where it stands
// before the link attribute of a frame, iframe, body, table, td, tr or form
// tag (the rule for that attribute spans it). Text-taking actions receive
// the matched text itself, valid only during the call: nothing beyond the
// current token is copied.
//
// Input is untrusted, and scanning time is linear in the page size whatever
// its bytes. Invalid UTF-8 is scanned as ordinary bytes; a NUL byte is text,
// and ends an attribute value as a closing quote would. Tags, values and
// strings of any length are safe: a construct longer than the input window
// (1 MiB without a ">", see ScannerInput) is seen in pieces, and the words
// that open a tag-long match never look past the next "<". A value that the
// end of the input (or of the window) cuts off is text, not a value, so a
// pass that rewrites values never drops the rest of a page that ends inside
// one.
//
// Not thread-safe; use one scanner per thread. A scanner can run many scans.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#ifndef FW_HTML_SCANNER_GENERATED
#undef yyFlexLexer
#define yyFlexLexer HtmlFlexLexer
#include <FlexLexer.h>
#undef yyFlexLexer
#endif

#include "engine/content/scanner_input.h"

namespace fw {

class HtmlScanner : public HtmlFlexLexer {
  public:
    HtmlScanner();
    ~HtmlScanner() override;
    HtmlScanner(const HtmlScanner&) = delete;
    HtmlScanner& operator=(const HtmlScanner&) = delete;

    // Scans the file at `path` from its start. False when it cannot be opened
    // or read; the actions called until then stand.
    bool ScanFile(const std::string& path);

    // Scans `page`, which must stay valid during the call. False only on an
    // internal scanner failure.
    bool ScanText(std::string_view page);

    // Where Emit writes; nullptr (the default) discards. Not owned.
    void set_output(std::ostream* out) { output_ = out; }
    std::ostream* output() const { return output_; }

    // Bytes a construct may span without a ">" before it is cut, and the
    // largest single read (tests use small ones). REQUIRES: both > 0.
    void set_input_window(size_t bytes, size_t max_read = SIZE_MAX) {
        input_.set_window(bytes);
        input_.set_max_read(max_read);
    }

    // Once `stop` is set, a scan ends where it is and returns false.
    // nullptr: scans always run to the end. Not owned.
    void set_stop(const platform::StopEvent* stop) { input_.set_stop(stop); }

  protected:
    // Writes `text` to the output stream, when there is one. Passes that write
    // the page back out call it from their actions.
    void Emit(std::string_view text);

    // The actions, in the order of the scanner's table. Those taking text
    // receive the matched text; the others mark where a construct starts or
    // ends, next to the OnText of its own text.

    // The href value of an anchor (and of area and any other tag beginning
    // with "a" that has no rule of its own).
    virtual void OnHref(std::string_view value);
    // An onclick, onmouseover or onmouseout value inside such a tag.
    virtual void OnEventAttribute(std::string_view value);
    // A whole meta tag, "<" to ">".
    virtual void OnMeta(std::string_view tag);
    // The src value of a frame or iframe (a blank before it reaches no action).
    virtual void OnFrameSource(std::string_view value);
    // The src, lowsrc, dynsrc or poster value of an image, embed, video,
    // audio, source, track, bgsound or input tag (also data-src and the
    // like, as the end of a longer word); the data value of an object tag;
    // or a quoted string (quotes included) in a script or param.
    virtual void OnSource(std::string_view value);
    virtual void OnAltText(std::string_view value);
    // The background value of a body, table, td or tr tag.
    virtual void OnBackground(std::string_view value);
    // Everything no other action takes.
    virtual void OnText(std::string_view text);
    // A base tag: its start up to the href value, the value, and its ">".
    // What lies around the value in the tag reaches no action.
    virtual void OnBaseTag(std::string_view text);
    virtual void OnBaseHref(std::string_view value);
    virtual void OnBaseEnd(std::string_view text);
    virtual void OnAnchorEnd();    // after the anchor tag's ">"
    virtual void OnAnchorClose();  // before "</a>"
    // Before "<img", "<embed", "<video", "<audio", "<source" or "<track".
    virtual void OnImageStart();
    virtual void OnImageEnd();  // after that tag's ">"
    // Before "<object" (false) or "<applet" (true).
    virtual void OnObjectStart(bool applet);
    virtual void OnObjectEnd();    // after the object or applet tag's ">"
    virtual void OnScriptStart();  // before "<script" or "<style"
    virtual void OnScriptEnd();    // after "</script>" or "</style>"
    // The codebase and code values of an object or applet tag.
    virtual void OnCodebase(std::string_view value);
    virtual void OnCode(std::string_view value);
    // The action value of a form tag.
    virtual void OnFormAction(std::string_view value);
    // A whole link tag, "<" to ">".
    virtual void OnLinkTag(std::string_view tag);
    // The srcset (or data-srcset) value of an image, source or other tag
    // that OnImageStart announces: candidate URLs with their descriptors and
    // commas, as written (see source_set.h).
    virtual void OnSourceSet(std::string_view value);
    // Style sheet text: the value of a style attribute, or a run of the text
    // of a style block (between the start tag's ">" and "</style>"). Runs
    // end at "<" or ">", so a block may come in several calls.
    virtual void OnStyleText(std::string_view text);

  private:
    // Generated from html_scanner.l.
    int yylex() override;
    int LexerInput(char* buf, int max_size) override;
    void LexerOutput(const char* buf, int size) override;
    void LexerError(const char* msg) override;
    int yywrap() override;

    bool Run();
    void ResetScanState();
    // Starts reading a style attribute's value in `condition`, returning to
    // the current condition after it.
    void StyleValue(int condition);
    std::string_view Token() const { return {yytext, static_cast<size_t>(yyleng)}; }
    // Undoes the end mark the generated code put after the token, and
    // returns where the token ends.
    char* TokenEnd();
    // Makes the token end at `end` (within the buffer) and returns it.
    std::string_view EndTokenAt(char* end);
    // Called from a rule that matched its first characters: extends the
    // token over what follows up to where the run ends (see RunEnd; NUL
    // bytes are plain characters), over a ">" there too when `with_gt`, and
    // returns it. Runs cut at the buffer's end go on in the next token.
    std::string_view RunOn(const char* scan_set, bool with_gt,
                           std::span<const std::string_view> words = {});
    // A run of "<" but its last, which may begin a tag.
    std::string_view LessThanRun();
    // The run of a tag's text up to "<", through ">" (which ends the tag), or
    // to where "style" begins.
    std::string_view TagRun();
    // Hands the value just matched to `action` and scans on in condition
    // `next`; a value cut off by the end of the input is text instead.
    void Value(void (HtmlScanner::*action)(std::string_view), int next);

    ScannerInput input_;
    std::ostream* output_ = nullptr;
    int style_return_ = 0;  // the condition a style attribute's tag is scanned in
};

}  // namespace fw
