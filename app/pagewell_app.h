// CPagewellApp: the program's start-up, in this order:
//   1. the command line is read (CommandLineInfo);
//   2. the program home gets the installed defaults it lacks;
//   3. the splash shows;
//   4. the main window is made, and with it the document and the engine
//      (a library that cannot be loaded ends the program with a message);
//   5. with no project named, the start-up dialog is due; a named project
//      that does not exist is created;
//   6. the named project is opened (failing that, the program ends);
//   7. the window shows;
//   8. -I imports its file, -A adds its URL, -U refreshes every site (and
//      with -E the window closes when that has finished).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/core/app_settings.h"
#include "app/core/command_line.h"

namespace corvalin {

class CMainFrame;
class CSplashWnd;

class CPagewellApp {
  public:
    struct Options {
        bool splash = true;
        bool startup_dialog = true;  // tests leave it out
    };

    CPagewellApp();
    ~CPagewellApp();
    CPagewellApp(const CPagewellApp&) = delete;
    CPagewellApp& operator=(const CPagewellApp&) = delete;

    // Runs the start-up with the arguments after the program name. False:
    // the program cannot go on (the reason was shown).
    bool InitInstance(const std::vector<std::string>& args, const Options& options);

    CMainFrame* frame() const { return frame_.get(); }
    const CommandLineInfo& command_line() const { return info_; }

  private:
    CommandLineInfo info_;
    std::unique_ptr<CSplashWnd> splash_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace corvalin
