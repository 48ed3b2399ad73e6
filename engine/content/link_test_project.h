// For the tests of the link passes: a small project built by hand (URL rows
// with their files on disk, links, queue entries) in a fresh directory, and
// a program home of its own so the passes read default settings.
#pragma once

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "engine/interface/fetchwell.h"
#include "engine/store/project_store.h"
#include "tests/support/temp_dir.h"

namespace fwtest {

// Points the program home at an empty directory for the whole test binary,
// before anything reads the settings (the script-link lists are read once
// per process).
class DefaultSettingsHome : public ::testing::Environment {
  public:
    void SetUp() override { ::setenv("CORVALIN_HOME", (home_.path() + "home").c_str(), 1); }

  private:
    TempDir home_;
};

inline ::testing::Environment* const kDefaultSettingsHome =
    ::testing::AddGlobalTestEnvironment(new DefaultSettingsHome);

constexpr int32_t kFetched = fw::kStatusFetched;
constexpr int32_t kGrabbed = fw::kStatusGrabbed;

// A URL row to store; by default a grabbed page on level 1 without a file.
struct Row {
    explicit Row(std::string u) : url(std::move(u)) {}
    Row& Level(int32_t v) {
        level = v;
        return *this;
    }
    Row& MinLevel(int32_t v) {
        min_level = v;
        return *this;
    }
    Row& Status(int32_t v) {
        status = v;
        return *this;
    }
    Row& File(std::string v) {
        file = std::move(v);
        return *this;
    }
    Row& Error(int32_t v) {
        error = v;
        return *this;
    }
    Row& Kind(int32_t v) {
        kind = v;
        return *this;
    }

    std::string url;
    int32_t level = 1;
    int32_t min_level = 0;
    int32_t status = kGrabbed;
    std::string file;  // relative to the data directory; "" keeps none
    int32_t error = 0;
    int32_t kind = 1;
};

class TestProject {
  public:
    TestProject() { EXPECT_TRUE(store.Open(dir.path(), data_dir(), true)); }
    ~TestProject() { store.Close(); }

    std::string data_dir() const { return dir.path(); }
    std::string PathOf(const std::string& file) const { return dir.path() + file; }

    // Stores the row (and, when it names a file, an empty file there unless
    // one exists). Returns its id.
    int32_t Add(const Row& row, int32_t parent = 0) {
        fw::UrlRecord r = store.NewRecord();
        r.url = row.url;
        r.level = row.level;
        r.min_level = row.min_level;
        r.status = row.status;
        r.file = row.file;
        r.error = row.error;
        r.kind = row.kind;
        EXPECT_TRUE(store.Write(&r)) << row.url;
        store.AddLink(parent, r.id);
        if (!row.file.empty() && !std::ifstream(PathOf(row.file)).good()) {
            WriteFile(PathOf(row.file), "");
        }
        return r.id;
    }

    void Write(const std::string& file, const std::string& text) { WriteFile(PathOf(file), text); }
    std::string Read(const std::string& file) const { return ReadFile(PathOf(file)); }

    TempDir dir;
    fw::ProjectStore store;
};

}  // namespace fwtest
