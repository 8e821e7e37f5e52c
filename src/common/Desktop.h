// Opens documents and folders in the user's applications and starts a new
// instance of the program. Always argument vectors, never shell strings.
#pragma once

#include <string>
#include <vector>

namespace trv {

class Prompter;

class Desktop {
  public:
    virtual ~Desktop() = default;
    // Open a document (report, text, picture, PDF) with its default
    // application. False when no application could be started for it.
    virtual bool openDocument(const std::string& path) = 0;
    // Open a folder in the file manager.
    virtual bool openFolder(const std::string& path) = 0;
    // Open the folder holding a file, with the file selected where possible.
    virtual bool showInFolder(const std::string& path) = 0;
    // Open a web address in the default browser.
    virtual bool openUrl(const std::string& url) = 0;
    // Start the program's own executable with these arguments (for example
    // {"/run"}), without waiting for it.
    virtual bool startSelf(const std::vector<std::string>& args) = 0;
};

// Opens through an opener program (xdg-open) and fork/exec; used by the
// programs. The opener is given a moment to say whether it found an
// application (xdg-open ends at once with a failure when there is none);
// one still running after that counts as started. Every child is reaped
// when it ends, so none is left behind as a zombie.
class SystemDesktop : public Desktop {
  public:
    explicit SystemDesktop(std::string opener = "xdg-open", int verdictMs = 2000)
        : opener_(std::move(opener)), verdictMs_(verdictMs) {}
    bool openDocument(const std::string& path) override;
    bool openFolder(const std::string& path) override;
    bool showInFolder(const std::string& path) override;
    bool openUrl(const std::string& url) override;
    bool startSelf(const std::vector<std::string>& args) override;

  private:
    bool open(const std::string& what);
    std::string opener_;
    int verdictMs_;
};

// "file://" + the absolute path with every byte other than letters, digits,
// "-", ".", "_", "~" and "/" percent-encoded: exact for any bytes a name holds.
std::string fileUri(const std::string& path);

// Starts a program detached from this one; true when it could be started.
// It is reaped in the background when it ends.
bool spawnDetached(const std::vector<std::string>& argv);

// Starts a program and waits up to `verdictMs` for it: false when it could
// not be started or ended with a failure in that time; true when it ended
// well or is still running (then it is reaped in the background).
bool spawnAndJudge(const std::vector<std::string>& argv, int verdictMs);

// Opens a file just written for the user; when no application could show
// it, a message says where it is.
bool openForUser(Desktop& desktop, Prompter& prompter, const std::string& path);

// "No program could be started to show the file. It is here:" and the path.
std::string noViewerMessage(const std::string& path);

} // namespace trv
