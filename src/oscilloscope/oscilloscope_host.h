#pragma once

#include <QString>

namespace quorvel {

class FileDialogs;
class RunLauncher;
class ScriptHost;

// What the oscilloscope window needs from the window that owns it (the main window): the filter
// under test, the one script host with its run launcher, the help folder, the save of the whole
// test, and whether the program is closing. The oscilloscope knows its owner only through this.
class OscilloscopeHost {
 public:
  OscilloscopeHost() = default;
  virtual ~OscilloscopeHost() = default;
  OscilloscopeHost(const OscilloscopeHost&) = delete;
  OscilloscopeHost& operator=(const OscilloscopeHost&) = delete;

  // The filter texts with CR LF line ends, as the scripts, reports and files take them.
  virtual QString ParametersText() const = 0;
  virtual QString FunctionsText() const = 0;
  virtual ScriptHost& Script1() = 0;
  // Starts the runs of every window on Script1, one at a time.
  virtual RunLauncher& Launcher() = 0;
  // The folder of the help pages.
  virtual QString HelpFile() const = 0;
  // The file dialogs of the program, which open where the last one was left.
  virtual FileDialogs& Dialogs() = 0;
  // "Salva": saves the whole test, the oscilloscope's settings included.
  virtual void SaveTest() = 0;
  // True once the owner closes for good: closing the oscilloscope then really closes it.
  virtual bool MainClosing() const = 0;
};

}  // namespace quorvel
