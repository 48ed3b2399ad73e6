// PageOutput: a rewritten page or style sheet on its way to disk. The text
// goes to a new file beside the target, which replaces the target only once
// it is complete, so a failed rewrite never leaves a half-written file where
// the stored one was.
#pragma once

#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "platform/unique_fd.h"

namespace fw {

enum class OutputMode {
    // A new file replaces the target once complete.
    kNewFile,
    // The text is built in memory and written over the target itself at
    // Commit, keeping its inode: no new file, no rename, no freed file, by
    // far the cheaper path on journaling file systems. A process killed
    // while writing leaves the target partly rewritten, so this is only for
    // files whose row says they still wait for rewriting until it is done.
    // The target stays open from construction to Commit, so a page that is
    // its own source is read through the same descriptor (ReadTarget).
    // Targets that are missing or large get a new file all the same.
    kInPlace,
};

class PageOutput {
  public:
    // Creates the new file in the target's directory. Check ok().
    explicit PageOutput(std::string target, OutputMode mode = OutputMode::kNewFile);
    // Removes the new file unless Commit succeeded.
    ~PageOutput();
    PageOutput(const PageOutput&) = delete;
    PageOutput& operator=(const PageOutput&) = delete;

    bool ok() const { return (fd_ >= 0 || in_place_) && out_.good(); }
    std::ostream& stream() { return out_; }

    // In place only: reads the whole target into `*text`. False, with
    // `*text` empty, when not in place, when the target is over `max_bytes`,
    // or when it cannot be read at the size it had at open.
    bool ReadTarget(size_t max_bytes, std::string* text) const;

    // Closes the new file and moves it onto the target. False when a write
    // failed or the move did; the target is then as it was (in place: the
    // target may be partly written).
    bool Commit();

  private:
    // Writes through the new file's descriptor in 64 KiB blocks.
    class FileBuffer : public std::streambuf {
      public:
        FileBuffer();
        void Attach(int fd) { fd_ = fd; }
        bool failed() const { return failed_; }

      protected:
        int_type overflow(int_type c) override;
        int sync() override;

      private:
        bool FlushBlock();
        int fd_ = -1;
        bool failed_ = false;
        char block_[64 * 1024];
    };

    bool CommitInPlace();

    std::string target_;
    std::string temp_;  // empty when it could not be created
    int fd_ = -1;
    bool in_place_ = false;
    platform::UniqueFd target_fd_;  // the target, open for writing, when in place
    FileBuffer buffer_;
    std::stringbuf memory_;   // the page, when written in place
    long long old_size_ = 0;  // the target's size before, when written in place
    std::ostream out_{&buffer_};
    bool committed_ = false;
};

}  // namespace fw
