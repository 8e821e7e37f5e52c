// Opens documents and folders in the user's applications and starts a new
// instance of the program. Always argument vectors, never shell strings.
#pragma once

#include <string>
#include <vector>

namespace trv {

class Desktop {
  public:
    virtual ~Desktop() = default;
    // Open a document (report, text, picture, PDF) with its default application.
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

// xdg-open and fork/exec; used by the programs.
class SystemDesktop : public Desktop {
  public:
    bool openDocument(const std::string& path) override;
    bool openFolder(const std::string& path) override;
    bool showInFolder(const std::string& path) override;
    bool openUrl(const std::string& url) override;
    bool startSelf(const std::vector<std::string>& args) override;
};

// "file://" + the absolute path with every byte other than letters, digits,
// "-", ".", "_", "~" and "/" percent-encoded: exact for any bytes a name holds.
std::string fileUri(const std::string& path);

// Starts a program detached from this one; true when it could be started.
bool spawnDetached(const std::vector<std::string>& argv);

} // namespace trv
