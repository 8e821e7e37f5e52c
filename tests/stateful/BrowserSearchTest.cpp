// Random sequences of what a user does in the offline browser: choose,
// expand and collapse, filter, sort, tag, rename, archive, comments, "Plate
// Config" on any line with wells assigned, freed and groups renamed, saved
// or discarded, and every plot, page and export. The browser core is wired
// to the configuration, plots and group editor as the window wires them.
// After every action: the chosen acquisition's plots use its own groups
// and plate, no file changed but by an explicit save, rename, tag, comment
// or archive and only in the folder it names, and what was written reads
// back with the program's own readers.
#include "acquisition/DataFiles.h"
#include "common/Files.h"
#include "display/RecordingSurface.h"
#include "offline/OfflineBrowser.h"
#include "offline/OfflineConfiguration.h"
#include "offline/OfflineExports.h"
#include "offline/OfflinePlots.h"
#include "offline/Regrouping.h"
#include "store/AcquisitionRecord.h"
#include "store/ChannelTablesFile.h"
#include "store/ConfigFile.h"
#include "store/PlateFormat.h"
#include "store/ProjectFile.h"
#include "support/Fakes.h"
#include "support/TempDir.h"

#include "Pick.h"
#include "SearchStats.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace trv::test {
namespace {

// Every file below the program folder with its content.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& dir,
                                                                          const std::string& rel) {
        for (const std::string& f : listFiles(dir))
            out[rel + f] = readWholeFile(joinPath(dir, f)).value_or("<unreadable>");
        for (const std::string& d : listSubfolders(dir))
            walk(joinPath(dir, d), rel + d + "/");
    };
    walk(root, "");
    return out;
}

bool under(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.rfind(folder + "/", 0) == 0 &&
           path.find('/', folder.size() + 1) == std::string::npos;
}

// Groups, group names and plate of a loaded configuration, as one text.
std::string groupsOf(const OfflineConfiguration& c) {
    std::string s = c.setup.Plate_format + "|" + std::to_string(c.setup.Aq_lapse) + "|";
    for (int ch = 0; ch < kChannels; ++ch)
        s += std::to_string(c.channels().Channel_Group[ch]) + "," +
             std::to_string(c.plate().Channel_Well[ch]) + ";";
    for (const std::string& n : c.channels().Group_Name)
        s += n + ";";
    return s;
}

struct BrowserRig {
    TempDir dir;
    FakePorts fake;
    std::string program = dir.path();
    OfflineConfiguration config;        // the chosen acquisition's configuration
    OfflineConfiguration projectConfig; // an expanded project's
    OfflinePlots plots;
    RecordingSurface surface{800, 600};
    std::unique_ptr<RegroupSession> regroup;
    std::string regroupFolder; // the folder Plate Config was asked for
    std::unique_ptr<OfflineBrowser> browser;

    // What the last action may change: files directly in these folders
    // (relative to the program folder), and the export files.
    std::set<std::string> mayChange;
    bool mayExport = false;
    std::string archived; // an acquisition folder archived by the action

    BrowserRig() {
        // The folders are made once (their durable writes are slow) and
        // copied for every sequence.
        static TempDir origin;
        static const bool made = [&] {
            PlateLayout p;
            applyBuiltinPlate(p, "w96f");
            origin.write("w96f.dat", plateFileText(p, "w96f", "built in"));
            int k = 0;
            for (int proj : {1, 2}) {
                const std::string pf = projectFolderName(proj);
                folder(origin.path(), pf, proj, k++);
                for (const char* a : {"20240131_1015", "20240202_0900", "20240203_1130"})
                    if (proj == 1 || std::string(a) != "20240203_1130")
                        folder(origin.path(), pf + "/" + a, proj, k++);
            }
            return true;
        }();
        (void)made;
        std::filesystem::copy(origin.path(), program, std::filesystem::copy_options::recursive);
        BrowserHooks h;
        h.loadConfiguration = [this](const std::string& f) {
            loadOfflineConfiguration(f, program, config, fake.prompter);
            return config.loaded();
        };
        h.loadProjectConfiguration = [this](const std::string& f) {
            loadOfflineConfiguration(f, program, projectConfig, fake.prompter);
            return projectConfig.loaded();
        };
        h.fillGroupLists = [this] { plots.acquisitionChosen(config); };
        h.configurationBlock = [this] { return configurationBlock(config, "."); };
        h.settings = [this] {
            const ProjectSetup& s = config.setup;
            return LoadedSettings{s.Plate_format, s.Organism(), s.DSP_Method, s.SNRx10()};
        };
        h.showGroupActivity = [this] {
            plots.showGroupActivity(surface, source(), fake.prompter);
        };
        h.release = [this] { plots.release(); };
        h.clearView = [this] { plots.forget(surface); };
        h.openGroupEditor = [this] {
            const std::string& chosen = browser->chosenFolder();
            if (chosen.empty() || !config.loaded() || config.folder != chosen) {
                fake.prompter.show(kChooseAcquisitionFirst);
                return false;
            }
            regroup = std::make_unique<RegroupSession>(config, fake.ports, surface);
            plots.viewMode = offlineview::GroupEditor;
            return true;
        };
        browser = std::make_unique<OfflineBrowser>(program, fake.ports, std::move(h));
        browser->open();
    }

    // A project (or acquisition) folder with a setup, channel tables of its
    // own (every folder groups its wells differently), counts and raw data.
    static void folder(const std::string& root, const std::string& rel, int project, int k) {
        const std::string path = joinPath(root, rel);
        makeFolder(path);
        ProjectSetup setup;
        setup.Name = "Project " + std::to_string(project);
        setup.Plate_format = "w96f";
        setup.RT_Buffer = 16;
        setup.Aq_lapse = static_cast<int16_t>(10 + k);
        writeFileAtomic(joinPath(path, kSetupFileName), setupFileText(setup, project));
        ChannelTables t;
        PlateLayout plate;
        applyBuiltinPlate(plate, "w96f");
        for (int c = 0; c < kChannels; ++c)
            t.Channel_Group[c] =
                plate.Channel_Well[c] >= 0 ? static_cast<int16_t>((plate.Channel_Well[c] + k) % 4)
                                           : int16_t{-1};
        for (int g = 0; g < 4; ++g)
            t.Group_Name[g] = "F" + std::to_string(k) + "G" + std::to_string(g);
        saveChannelTables(t, path);
        if (rel.find('/') == std::string::npos) return; // a project folder
        writeFileAtomic(joinPath(path, kSubprojFileName), subprojFileText("Acq " + std::to_string(k), ""));
        SignalBlock block(17);
        for (int r = 0; r < 8; ++r) {
            ChannelArray<int16_t> counts{};
            for (int c = 0; c < kChannels; ++c)
                counts[c] = static_cast<int16_t>((c * 7 + r * 3 + k) % 13);
            AppendCounts(path, r, counts);
            for (int c = 0; c < kChannels; ++c)
                for (int i = 0; i < 17; ++i)
                    block.at(c, i) = static_cast<int16_t>(1500 + (c + i * k + r) % 97);
            AppendRawBlock(path, 0, block);
        }
    }

    OfflineSource source() const {
        const OfflineControls& c = browser->c;
        return OfflineSource{browser->chosenFolder(), config,
                             PlotHeader{c.headerProject, c.headerAcquisition, c.headerConfig}};
    }
    int line(int i) const {
        const int n = browser->list().size();
        return n == 0 ? -1 : i % n;
    }
    // The folder a line names, relative to the program folder.
    std::string folderOf(int index) const {
        const BrowserList& l = browser->list();
        const std::string project = l.projectAt(index);
        const std::string acquisition = l.acquisitionAt(index);
        return acquisition.empty() ? project : project + "/" + acquisition;
    }
    std::string relative(const std::string& path) const {
        return path.rfind(program + "/", 0) == 0 ? path.substr(program.size() + 1) : path;
    }

    void leaveEditor(bool save) {
        if (!regroup) return;
        const std::string target = regroup->folder();
        if (save) {
            mayChange.insert(relative(regroupFolder));
            const bool saved = regroup->save();
            fake.prompter.show(saved ? std::string(kGroupsSaved) : kGroupsSaveError + target);
            if (saved) checkSavedGroups(target, regroup->channels());
        }
        regroup.reset();
        browser->c.plotButtonsEnabled = true;
        browser->chooseAgain();
    }

    void checkSavedGroups(const std::string& folder, const ChannelTables& saved) {
        ChannelTables back;
        RC_ASSERT(readChannelTable(back, folder, ChannelTableFile::Groups));
        RC_ASSERT(readChannelTable(back, folder, ChannelTableFile::ChannelGroups));
        RC_ASSERT(back.Channel_Group == saved.Channel_Group);
    }

    // The checks after an action, given the files before it.
    void check(const std::map<std::string, std::string>& before) {
        const auto after = snapshot(program);
        std::set<std::string> changed;
        for (const auto& [path, content] : before) {
            auto it = after.find(path);
            if (it == after.end() || it->second != content) changed.insert(path);
        }
        for (const auto& [path, content] : after)
            if (!before.count(path)) changed.insert(path);
        for (const std::string& path : changed) {
            bool allowed = false;
            for (const std::string& f : mayChange)
                allowed = allowed || under(path, f);
            if (mayExport && path.find('/') == std::string::npos) allowed = true;
            // An archived folder moves to a name that starts with its own.
            if (!archived.empty() && path.rfind(archived, 0) == 0)
                allowed = true;
            if (!allowed) RC_FAIL("the file " + path + " changed");
        }
        mayChange.clear();
        mayExport = false;
        archived.clear();

        // The chosen acquisition is shown with its own groups and plate.
        const std::string chosen = browser->chosenFolder();
        if (!chosen.empty() && folderExists(chosen) && !regroup &&
            !SearchStats::skipped("views")) {
            OfflineConfiguration own;
            FakePrompter quiet;
            loadOfflineConfiguration(chosen, program, own, quiet);
            if (groupsOf(own) != groupsOf(config))
                RC_FAIL("the views of " + relative(chosen) + " use another folder's groups or plate");
            if (plots.plotGroups != offlineGroupLists(own).plotGroups)
                RC_FAIL("the plot group list of " + relative(chosen) + " is another folder's");
        }
        // The group editor edits the folder it was opened for.
        if (regroup && !SearchStats::skipped("editor")) {
            OfflineConfiguration own;
            FakePrompter quiet;
            loadOfflineConfiguration(regroupFolder, program, own, quiet);
            if (regroupStart_ != groupsOf(own))
                RC_FAIL("Plate Config on " + relative(regroupFolder) +
                        " edits another folder's groups");
        }
    }
    std::string regroupStart_;
};

struct NoModel {};

struct Action : rc::state::Command<NoModel, BrowserRig> {
    virtual void act(BrowserRig& r) const = 0;
    void run(const NoModel&, BrowserRig& r) const override {
        const auto before = snapshot(r.program);
        ++SearchStats::actions;
        SearchStats::trace(*this);
        try {
            act(r);
        } catch (const std::exception& e) {
            RC_FAIL(std::string("an exception escaped: ") + e.what());
        }
        r.fake.prompter.answers.clear();
        r.fake.prompter.inputs.clear();
        r.fake.prompter.clear();
        r.check(before);
    }
};

struct Activate : Action {
    int i = pick(rc::gen::inRange(0, 12));
    void act(BrowserRig& r) const override {
        if (r.regroup || r.line(i) < 0) return; // the list is disabled while editing
        r.browser->activate(r.line(i));
    }
    void show(std::ostream& os) const override { os << "DoubleClick(line " << i << ")"; }
};

struct SortOrFilter : Action {
    int what = pick(rc::gen::inRange(0, 4));
    void act(BrowserRig& r) const override {
        if (r.regroup) return;
        if (what == 0) r.browser->lbl_date_Click();
        if (what == 1) r.browser->lblproject_Click();
        if (what == 2) r.browser->cmd_lupa_Click("Acq 2");
        if (what == 3) r.browser->cmd_lupa_Click("");
    }
    void show(std::ostream& os) const override {
        static const char* names[] = {"Date", "Project", "Filter(\"Acq 2\")", "Filter(\"\")"};
        os << names[what];
    }
};

// A right click selects the line, then the context menu entry.
struct ContextMenu : Action {
    int i = pick(rc::gen::inRange(0, 12));
    int entry = pick(rc::gen::inRange(0, 4)); // rename, archive, tag, Plate Config
    int tag = pick(rc::gen::inRange(0, kTagMenuEntries));
    void act(BrowserRig& r) const override {
        const int l = r.line(i);
        if (r.regroup || l < 0) return;
        r.browser->select(l);
        const std::string named = r.folderOf(l);
        switch (entry) {
        case 0:
            r.fake.prompter.type("Renamed " + std::to_string(i));
            r.mayChange.insert(named);
            r.browser->mnRename_Click();
            if (r.browser->list().kindAt(l) == LineKind::Acquisition &&
                folderExists(joinPath(r.program, named)))
                RC_ASSERT(readAcquisitionName(joinPath(r.program, named)).find("Renamed") !=
                          std::string::npos);
            break;
        case 1:
            r.archived = named;
            r.mayChange.insert(named.substr(0, named.find('/'))); // the project's list files
            r.browser->mnDelete_Click();
            break;
        case 2: {
            if (!r.browser->tagMenuVisible()) return;
            r.mayChange.insert(named.substr(0, named.find('/')));
            r.browser->mnTag_Click(tag, {l});
            break;
        }
        default:
            r.regroupFolder = joinPath(r.program, named);
            r.browser->mnPlateConfig_Click();
            if (r.regroup) {
                OfflineConfiguration own;
                FakePrompter quiet;
                loadOfflineConfiguration(r.regroupFolder, r.program, own, quiet);
                r.regroupStart_ = groupsOf(own);
                // The editor must start from the named folder's groups.
                OfflineConfiguration edited = r.config;
                edited.layout.channels = r.regroup->channels();
                edited.layout.plate = r.regroup->plate();
                if (groupsOf(edited) != r.regroupStart_ && !SearchStats::skipped("editor"))
                    RC_FAIL("Plate Config on " + named + " opens another folder's groups");
            }
        }
    }
    void show(std::ostream& os) const override {
        static const char* names[] = {"Rename", "Archive", "Tag", "PlateConfig"};
        os << names[entry] << "(line " << i;
        if (entry == 2) os << ", " << (tag == 0 ? std::string("CLEAR") : tagMenuText(tag));
        os << ")";
    }
};

struct Editor : Action {
    int what = pick(rc::gen::inRange(0, 5)); // assign, free, rename group, arrange, clear
    int row = pick(rc::gen::inRange(0, 8));
    int column = pick(rc::gen::inRange(0, 12));
    void act(BrowserRig& r) const override {
        if (!r.regroup) return;
        GroupEditor& e = r.regroup->editor();
        const double x = 2.0 * column + 1, y = -0.5 + 2.0 * row + 1;
        switch (what) {
        case 0:
            e.mouseDown(MouseButton::Left, x, y);
            e.mouseUp(MouseButton::Left, x, y);
            break;
        case 1:
            e.mouseDown(MouseButton::Right, x, y);
            e.mouseUp(MouseButton::Right, x, y);
            break;
        case 2:
            r.fake.prompter.type("Group " + std::to_string(row));
            e.renameGroup();
            break;
        case 3:
            if (!r.regroup->setSizes().empty())
                e.autoArrange(r.regroup->setSizes()[static_cast<size_t>(
                    column % static_cast<int>(r.regroup->setSizes().size()))]);
            break;
        default:
            e.clearGroups();
        }
    }
    void show(std::ostream& os) const override {
        static const char* names[] = {"AssignWell", "FreeWell", "RenameGroup", "AutoArrange",
                                      "ClearGroups"};
        os << names[what] << "(" << static_cast<char>('A' + row) << column + 1 << ")";
    }
};

struct LeaveEditor : Action {
    bool save = pick(rc::gen::arbitrary<bool>());
    void act(BrowserRig& r) const override { r.leaveEditor(save); }
    void show(std::ostream& os) const override { os << (save ? "SaveGroups" : "DiscardGroups"); }
};

struct Views : Action {
    int what = pick(rc::gen::inRange(0, 9));
    int arg = pick(rc::gen::inRange(0, 10));
    void act(BrowserRig& r) const override {
        if (r.regroup || r.browser->chosenFolder().empty()) return;
        BrowserRig& w = r;
        const OfflineSource src = w.source();
        switch (what) {
        case 0: w.plots.showGroupActivity(w.surface, src, w.fake.prompter); break;
        case 1: w.plots.showBarPlot(w.surface, src, w.fake.prompter); break;
        case 2: w.plots.showHeatmap(w.surface, src, w.fake.prompter); break;
        case 3: w.plots.showChannelSignal(w.surface, src); break;
        case 4: w.plots.scrollPage(1 + arg % 3, w.surface, src); break;
        case 5:
            if (!w.plots.groupPicker.empty())
                w.plots.groupPicked(
                    w.plots.groupPicker[static_cast<size_t>(arg) % w.plots.groupPicker.size()],
                    w.config);
            w.plots.wellPicked(0, w.surface, src, w.fake.prompter);
            break;
        case 6:
            w.surface = RecordingSurface(400 + 60 * arg, 300 + 40 * arg);
            w.plots.redraw(w.surface, src, w.fake.prompter);
            break;
        case 7:
            w.mayExport = true;
            exportSurfaceBmp(w.surface, w.program, kBarImageFile, w.fake.ports);
            break;
        default:
            w.mayExport = true;
            if (exportRawPage(w.program, "Project", w.browser->chosenFolder(), w.config.plate(),
                              w.plots.pickedChannel(), w.plots.rawPage, w.plots.pageBoxText,
                              w.fake.ports))
                RC_ASSERT(readWholeFile(joinPath(w.program, kRawTextFile)).has_value());
        }
    }
    void show(std::ostream& os) const override {
        static const char* names[] = {"GroupActivity", "BarPlot",  "Heatmap",
                                      "ChannelSignal", "Page",     "PickGroupAndWell",
                                      "Resize",        "ExportBmp", "ExportAscii"};
        os << names[what] << "(" << arg << ")";
    }
};

struct Comments : Action {
    void act(BrowserRig& r) const override {
        if (r.regroup || r.browser->chosenFolder().empty()) return;
        const std::string folder = r.browser->chosenFolder();
        r.mayChange.insert(r.relative(folder));
        r.browser->Txt_description_Change("plate washed");
        r.browser->Txt_description_LostFocus();
        // Kept, or the user is told why not.
        RC_ASSERT(readAcquisitionComments(folder) == std::string("plate washed") ||
                  !r.fake.prompter.messages.empty() || SearchStats::skipped("comments"));
    }
    void show(std::ostream& os) const override { os << "Comments"; }
};

RC_GTEST_PROP(BrowserSearch, EveryActionKeepsTheFilesAndViewsTrue, ()) {
    ++SearchStats::sequences;
    BrowserRig rig;
    rc::state::check(NoModel{}, rig,
                     rc::state::gen::execOneOfWithArgs<Activate, Activate, SortOrFilter,
                                                       ContextMenu, ContextMenu, Editor, Editor,
                                                       LeaveEditor, Views, Views, Comments>());
}

} // namespace
} // namespace trv::test
