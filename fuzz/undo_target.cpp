// The undo folder's list of restore points: whatever it holds, reading it, finishing a swap it
// says is pending, undo and redo leave the table as one of its two versions, whole, and touch
// nothing outside the table's store. The table, its memo and one restore point live in a sandbox
// folder put back as it was before every input; the input is the list, with @STORE@ and @TABLE@
// standing for the store folder and the table's path, so the corpus does not depend on where the
// sandbox is.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/restore_points.h"
#include "engine/dbf_writer.h"
#include "engine/format_settings.h"
#include "fuzz/targets.h"

namespace orbelan::fuzz {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
        text.replace(at, what.size(), with);
    return text;
}

// A version of the table: T.DBF and T.DBT, their bytes fixed (the header's date too).
using Version = std::map<std::string, std::string>;

Version MakeVersion(const fs::path& folder, const std::vector<std::string>& names) {
    DbfWriter::Definition def;
    def.fields = {FieldDef{"NUME", 'C', 12}, FieldDef{"OBS", 'M', 10}};
    {
        DbfWriter w((folder / "T.DBF").string(), def);
        const FormatSettings format;
        for (const std::string& n : names) {
            w.BeginRow();
            w.SetText(0, n, format);
            w.SetMemo(1, "memo " + n);
            w.EndRow();
        }
        w.Commit();
    }
    Version v{{"T.DBF", ReadAll(folder / "T.DBF")}, {"T.DBT", ReadAll(folder / "T.DBT")}};
    v["T.DBF"][1] = 120, v["T.DBF"][2] = 1, v["T.DBF"][3] = 1;
    return v;
}

// 1 January 2020: a time every system can set (MinGW's last_write_time silently sets none
// outside the C library's range).
const fs::file_time_type kTime =
    std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1577836800)));

void Put(const fs::path& folder, const Version& v) {
    fs::create_directories(folder);
    for (const auto& [name, bytes] : v) {
        WriteAll(folder / name, bytes);
        fs::last_write_time(folder / name, kTime);
    }
}

Version Read(const fs::path& folder) {
    Version v;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        v[e.path().filename().string()] = ReadAll(e.path());
    return v;
}

struct Sandbox {
    fs::path root, tables, outside;
    std::string programDir, table, store;
    Version after, before;  // on disk, and kept by the restore point
    std::string seed;

    Sandbox() {
        const bool shm = fs::is_directory("/dev/shm");
        root = (shm ? fs::path("/dev/shm") : fs::temp_directory_path()) /
               ("orbelan-fuzz-undo-" + std::to_string(std::random_device{}()));
        tables = root / "tables";
        outside = root / "outside";
        programDir = (root / "data").string() + "/";
        table = (tables / "T.DBF").string();
        store = RestorePointsFolder(programDir, table);
        fs::create_directories(tables);
        before = MakeVersion(tables, {"ANA", "ION", "MARIA"});
        after = MakeVersion(tables, {"ION", "MARIA"});
        Reset();
        const std::vector<std::string> files{"T.DBF", "T.DBT"};
        const auto size = [](const Version& v) {
            return std::to_string(v.at("T.DBF").size() + v.at("T.DBT").size());
        };
        seed = "table\t@TABLE@\npoint\t1\t0\t0\t1700000000\t3\t2\t" + size(before) + "\t" +
               size(after) + "\tT.DBF/T.DBT\tT.DBF/T.DBT\t" +
               Replaced(StampOf(store + "1/before/", files), store, "@STORE@") + "\t" +
               StampOf(tables.string() + "/", files) + "\t@STORE@1/\tOrdonare\n";
        if (const char* dir = std::getenv("ORBELAN_UNDO_SEED_DIR")) WriteAll(fs::path(dir) / "seed", seed);
    }
    ~Sandbox() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    // The table as the command left it, its point keeping the version before, a file outside.
    void Reset() {
        std::error_code ec;
        fs::remove_all(tables, ec);
        fs::remove_all(root / "data", ec);
        fs::remove_all(outside, ec);
        Put(tables, after);
        Put(store + "1/before", before);
        Put(outside / "before", before);
    }
};

}  // namespace

// Every entry under folder with its size and time: what a rename, removal or write changes.
std::string Listing(const fs::path& folder) {
    std::string text;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(folder, ec)) {
        text += e.path().string();
        if (e.is_regular_file(ec))
            text += "/" + std::to_string(e.file_size(ec)) + "/" +
                    std::to_string(e.last_write_time(ec).time_since_epoch().count()) + "/" +
                    std::to_string(e.hard_link_count(ec));
        text += "\n";
    }
    return text;
}

void UndoIndexInput(const uint8_t* data, size_t size) {
    static Sandbox box;
    static const std::string pristine = Listing(box.root), tables = Listing(box.tables);
    std::string index(reinterpret_cast<const char*>(data), size);
    index = Replaced(Replaced(index, "@STORE@", box.store), "@TABLE@", box.table);
    index = Replaced(index, "@OUTSIDE@", box.outside.string() + "/");
    WriteAll(box.store + "index", index);
    try {
        RestorePoints points(box.programDir, box.table);
        (void)points.NextUndo();
        (void)points.NextRedo();
        (void)points.BytesKept();
        if (Listing(box.tables) != tables) std::abort();  // reading changed the table
        points.FinishPendingSwap();
        try {
            points.Undo();
        } catch (const UndoError&) {
        }
        try {
            RestorePoints(box.programDir, box.table).Redo();
        } catch (const UndoError&) {
        }
    } catch (const UndoError&) {
    }
    std::error_code ec;
    fs::remove(box.store + "index", ec);
    // Most inputs change nothing: then nothing is read or put back, and the fuzzer runs more.
    if (Listing(box.root) == pristine) return;
    const Version now = Read(box.tables);
    if (now != box.after && now != box.before) std::abort();  // a table neither old nor new
    if (Read(box.outside / "before") != box.before) std::abort();  // a file outside the store
    box.Reset();
}

}  // namespace orbelan::fuzz
