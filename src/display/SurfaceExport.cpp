#include "display/SurfaceExport.h"

#include "common/Files.h"

namespace trv {

std::string exportWriteError(const std::string& path) {
    return "Export failed: " + path + " could not be written";
}

std::string exportOpenError(const std::string& path) {
    return "Exported to " + path + ", but no program could open it";
}

void openExport(const std::string& path, Ports& ports) {
    if (!ports.desktop.openDocument(path)) ports.prompter.show(exportOpenError(path));
}

bool exportSurfaceBmp(Surface& surface, const std::string& folder, const std::string& fileName,
                      Ports& ports) {
    const std::string path = joinPath(folder, fileName);
    if (!surface.saveBmp(path)) {
        ports.prompter.show(exportWriteError(path));
        return false;
    }
    openExport(path, ports);
    return true;
}

} // namespace trv
