// vobcast-convert as a user runs it: its command line, which files a folder
// gives, and real batches on generated clips (a bad input among good ones, an
// existing AVI, Ctrl-C, a full disk).
#include "avi_reader.h"
#include "jobs.h"
#include "options.h"
#include "place_file.h"
#include "temp_folder.h"
#include "test_media.h"
#include "tool_run.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testing_tools;
using testing_support::MakeFile;
using testing_support::TempFolder;

// Starts the tool with its output in log, to be stopped while it runs;
// environment ("NAME=VALUE ...") is added to its own.
pid_t Start(const std::string& args, const std::string& log, const std::string& environment = "") {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string command = "exec env " + environment + " '" VOBCAST_CONVERT "' " + args + " >" + Q(log) + " 2>&1";
        ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
        ::_exit(127);
    }
    return pid;
}

// Stops it as Ctrl-C does (or with signal) and waits for its end.
Result Stop(pid_t pid, const std::string& log, int signal = SIGINT) {
    ::kill(pid, signal);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing_support::ReadFile(log)};
}

// Waits (seconds, 12 by default, at most) until done.
void WaitFor(const std::function<bool()>& done, int seconds = 12) {
    for (int i = 0; i < seconds * 50 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// Waits until part of the film is written to part.
void WaitUntilPartWritten(const fs::path& part, int seconds = 12) {
    WaitFor(
        [&] {
            std::error_code ec;
            return fs::file_size(part, ec) > 64 * 1024 && !ec;
        },
        seconds);
}

// A DVD copied to disk: the menus, two titles, one of them with a lower-case extension.
fs::path MakeVideoTs(const fs::path& root) {
    const fs::path v = root / "VIDEO_TS";
    fs::create_directories(v);
    fs::copy_file(testing_media::MediaPath("pal.vob"), v / "VIDEO_TS.VOB");
    fs::copy_file(testing_media::MediaPath("pal.vob"), v / "VTS_01_0.VOB");
    fs::copy_file(testing_media::MediaPath("pal.vob"), v / "vts_02_0.vob");
    fs::copy_file(testing_media::MediaPath("pal.vob"), v / "VTS_02_1.vob");
    fs::copy_file(testing_media::MediaPath("ntsc.vob"), v / "VTS_01_1.VOB");
    return v;
}

TEST(ConvertCli, ReadsItsCommandLine) {
    using vobcast::cli::Options;
    using vobcast::cli::ParseArguments;
    Options o;
    std::string error;
    EXPECT_TRUE(ParseArguments({"--bitrate", "900", "--keyint=12", "-j", "2", "-o", "out", "--overwrite", "-q", "a.vob",
                                "--deinterlace", "never", "--detelecine=never", "--", "-dash.vob"},
                               o, error))
        << error;
    EXPECT_EQ(std::make_pair(o.deinterlace, o.detelecine), std::make_pair(2L, 1L));
    EXPECT_EQ(o.bitrateKbps, 900);
    EXPECT_EQ(o.keyFrames, 12);
    EXPECT_EQ(o.jobs, 2);
    EXPECT_EQ(o.outputDir, "out");
    EXPECT_TRUE(o.overwrite && o.quiet);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.vob", "-dash.vob"}));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--bitrate", "fast", "a.vob"}, {"-j", "0", "a.vob"}, {"--frobnicate", "a.vob"}, {}, {"-o"},
             {"--deinterlace", "sometimes", "a.vob"}, {"--detelecine", "always", "a.vob"}}) {
        Options wrong;
        EXPECT_FALSE(ParseArguments(bad, wrong, error)) << bad.size();
        EXPECT_FALSE(error.empty());
    }
    Options help;
    EXPECT_TRUE(ParseArguments({"--help"}, help, error));
}

TEST(ConvertCli, TheManualPageSaysWhatTheHelpSays) {
    const std::string usage = vobcast::cli::Usage();
    const std::string man = vobcast::cli::ManPage();
    EXPECT_TRUE(man.starts_with(".TH VOBCAST-CONVERT 1"));
    for (const char* option : {"output-dir", "compressor", "list-compressors", "bitrate", "keyint", "jobs", "overwrite",
                               "quiet", "help", "deinterlace", "detelecine"}) {
        EXPECT_TRUE(Contains(usage, std::string("--") + option)) << option;
        std::string typeset;  // roff writes a hyphen as "\-"
        for (const char c : std::string("--") + option) typeset += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_TRUE(Contains(man, typeset)) << option;
    }
    EXPECT_TRUE(Contains(man, "time left"));
    EXPECT_TRUE(Contains(usage, "time left"));
}

TEST(ConvertCli, AFolderGivesItsTitleVobsInNameOrderAndOutputsNeverCollide) {
    TempFolder dir;
    const fs::path v = MakeVideoTs(dir.path() / "disc");
    MakeFile(dir.path() / "more/b/VTS_01_1.VOB", "x");
    MakeFile(dir.path() / "more/a.Vob", "x");
    MakeFile(dir.path() / "more/notes.txt", "x");
    fs::create_directories(dir.path() / "empty");
    fs::create_directories(dir.path() / "out");
    MakeFile(dir.path() / "out/VTS_02_1.avi", "kept");

    const auto jobs = vobcast::cli::PlanJobs(
        {v.string(), (dir.path() / "more").string(), (dir.path() / "empty").string(), (dir.path() / "nothing").string()},
        (dir.path() / "out").string(), false);
    std::vector<std::string> seen;
    for (const auto& job : jobs) seen.push_back(fs::path(job.source).filename().string() + " -> " +
                                                (job.destination.empty() ? job.problem : fs::path(job.destination).filename().string()));
    const std::string out = (dir.path() / "out/VTS_02_1.avi").string();
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "VTS_01_1.VOB -> VTS_01_1.avi",
                        "VTS_02_1.vob -> " + out + " exists (--overwrite replaces it)",
                        "a.Vob -> a.avi",
                        "VTS_01_1.VOB -> VTS_01_1 (2).avi",
                        "empty -> no VOB files in this folder",
                        "nothing -> no such file or folder",
                    }));
    const auto replacing = vobcast::cli::PlanJobs({v.string()}, (dir.path() / "out").string(), true);
    ASSERT_EQ(replacing.size(), 2u);
    EXPECT_EQ(replacing[1].destination, out);

    EXPECT_EQ(vobcast::cli::OutputFolderProblem((dir.path() / "out").string()), "");
    EXPECT_TRUE(Contains(vobcast::cli::OutputFolderProblem((dir.path() / "gone").string()), "does not exist"));
    EXPECT_TRUE(Contains(vobcast::cli::OutputFolderProblem((dir.path() / "more/a.Vob").string()), "is not a folder"));
}

// Each failure says what a user can act on, then the engine's own words.
TEST(ConvertCli, ConvertsAFolderTwoAtATimeAndNamesWhatItCouldNot) {
    TempFolder dir;
    const fs::path v = MakeVideoTs(dir.path() / "disc");
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    MakeFile(dir.path() / "noise.vob", std::string(256 * 1024, '\x5a'));

    ExpectSays(RunTool("--list-compressors"), 0, {"MPEG-4 Part 2 (DivX compatible)"});
    EXPECT_EQ(RunTool("--compressor 'No Such Codec' a.vob").status, 2);
    ExpectSays(RunTool("-o " + Q(dir.path() / "gone") + " " + Q(v)), 2, {"gone does not exist"});

    ExpectSays(RunTool("-j 2 -o " + Q(out) + " " + Q(v) + " " + Q(dir.path() / "missing.vob") + " " +
                       Q(testing_media::MediaPath("no-audio.vob")) + " " + Q(dir.path() / "noise.vob")),
               1,
               {"missing.vob: no such file or folder", "Converted 2 of 5 files",
                "no-audio.vob: has no AC-3 audio (found: no audio) (Specified pin was not found.",
                "noise.vob: is not an MPEG program stream ("});
    for (const char* name : {"VTS_01_1.avi", "VTS_02_1.avi"}) {
        const auto decoded = testing_media::MarksByGStreamer((out / name).string());
        EXPECT_TRUE(decoded.ok && decoded.videoFrames > 0) << name << ": " << decoded.error;
    }

    // A second run refuses to replace them, and says so; --overwrite replaces.
    const auto before = fs::last_write_time(out / "VTS_01_1.avi");
    ExpectSays(RunTool("-q -o " + Q(out) + " " + Q(v / "VTS_01_1.VOB")), 1, {"VTS_01_1.avi exists (--overwrite replaces it)"});
    EXPECT_EQ(fs::last_write_time(out / "VTS_01_1.avi"), before);
    const Result replaced = RunTool("-q --overwrite -o " + Q(out) + " " + Q(v / "VTS_01_1.VOB"));
    EXPECT_EQ(replaced.status, 0) << replaced.out;
    EXPECT_FALSE(Contains(replaced.out, "VTS_01_1.VOB: ")) << "quiet prints no progress";
    for (const auto& entry : fs::directory_iterator(out)) EXPECT_NE(entry.path().extension(), ".part");
}

TEST(ConvertCli, CtrlCKeepsTheFileUnderWayAndStartsNoOther) {
    TempFolder dir;
    const fs::path out = dir.path() / "out", part = out / "long.avi.part";
    fs::create_directories(out);
    const std::string log = dir / "log", source = Q(testing_media::MediaPath("long.vob"));
    const pid_t run = Start("-o " + Q(out) + " " + source + " " + Q(testing_media::MediaPath("ntsc.vob")), log);
    WaitUntilPartWritten(part);
    ExpectSays(Stop(run, log), 130, {"Stopped long.vob", "Not started:", "long.vob: "});  // plain progress off a terminal
    EXPECT_EQ(testing_media::StrictReaderFaults((out / "long.avi").string()), "") << "a stopped file is finished";
    EXPECT_FALSE(fs::exists(out / "ntsc.avi")) << "the rest is not started";
    EXPECT_FALSE(fs::exists(part));

    // Stopped again while replacing it: the part is kept beside the whole file.
    const auto kept_size = fs::file_size(out / "long.avi");
    const pid_t again = Start("--overwrite -o " + Q(out) + " " + source, log);
    WaitUntilPartWritten(part);
    ExpectSays(Stop(again, log), 130, {"long.avi.part"});
    EXPECT_EQ(fs::file_size(out / "long.avi"), kept_size) << "a stopped part does not replace a file";
    EXPECT_EQ(testing_media::StrictReaderFaults(part.string()), "");
}

// Waits until part is written and then no longer grows for a second.
void WaitUntilPartStill(const fs::path& part) {
    WaitUntilPartWritten(part);
    std::uintmax_t size = 0;
    std::error_code ec;
    for (int i = 0; i < 40 && fs::file_size(part, ec) != size; ++i) {
        size = fs::file_size(part, ec);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

// The worker converting into part, or -1.
pid_t WorkerOf(const fs::path& part) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string cmdline = testing_support::ReadFile(entry.path() / "cmdline");
        if (Contains(cmdline, std::string("--worker") + '\0') && Contains(cmdline, part.string()))
            return static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
    }
    return -1;
}

// A conversion whose graph no longer moves (the engine's test hook holds its
// pictures from 5 s on): Ctrl-C and SIGTERM end it within seconds, keeping
// what was written as the part it is; where even the graph's teardown would
// not end ("wedge"), a second Ctrl-C ends the worker at once; and a worker
// whose batch is killed ends by itself.
TEST(ConvertCli, AConversionThatNoLongerMovesEndsOnEveryStop) {
    TempFolder dir;
    const fs::path out = dir.path() / "out", part = out / "long.avi.part";
    const std::string log = dir / "log", args = "-o " + Q(out) + " " + Q(testing_media::MediaPath("long.vob"));
    const struct {
        const char* hang;
        std::vector<int> signals;  // sent half a second apart
        double within;             // seconds from the first
        const char* says;
    } cases[] = {
        {"5", {SIGINT}, 8, "the conversion could not finish the file; kept what was written, without its index, in "},
        {"5", {SIGTERM}, 8, "the conversion could not finish the file; kept what was written, without its index, in "},
        {"5,wedge", {SIGINT, SIGINT}, 2.5, "ended at once: kept what was written, unfinished, in "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hang);
        fs::create_directories(out);
        const pid_t run = Start(args, log, std::string("VOBCAST_TEST_HANG=") + c.hang);
        WaitUntilPartStill(part);
        const auto stopped = std::chrono::steady_clock::now();
        for (std::size_t i = 1; i < c.signals.size(); ++i) {
            ::kill(run, c.signals[i - 1]);
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
        ExpectSays(Stop(run, log, c.signals.back()), 130, {"Stopped long.vob", c.says + part.string()});
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count(), c.within);
        EXPECT_GT(fs::file_size(part), 64u * 1024) << "what was written stays";
        EXPECT_FALSE(fs::exists(out / "long.avi"));
        WaitFor([&] { return WorkerOf(part) < 0; });
        EXPECT_LT(WorkerOf(part), 0) << "no worker is left";
        fs::remove_all(out);
    }

    fs::create_directories(out);
    const pid_t batch = Start(args, log, "VOBCAST_TEST_HANG=5");
    WaitUntilPartStill(part);
    const pid_t worker = WorkerOf(part);
    ASSERT_GT(worker, 0);
    ::kill(batch, SIGKILL);
    ::waitpid(batch, nullptr, 0);
    WaitFor([&] { return ::kill(worker, 0) != 0 && errno == ESRCH; });
    EXPECT_LT(WorkerOf(part), 0) << "the worker of a killed batch ends";
    EXPECT_TRUE(fs::exists(part));
}

// A headless conversion needs no user interface: the engine runs in the
// converter's process without mapping a single Qt library. Nor libav's
// GStreamer plugin, for codecs that libavcodec has alone, nor libavfilter
// where the pictures need no field filters.
TEST(ConvertCli, AConvertingProcessMapsNoQtAndNoLibavPlugin) {
    TempFolder dir;
    const fs::path part = dir.path() / "long.avi.part";
    const std::string log = dir / "log";
    const pid_t run = Start("--worker -- " + Q(testing_media::MediaPath("long.vob")) + " " + Q(part), log);
    WaitUntilPartWritten(part);
    const std::string maps = testing_support::ReadFile("/proc/" + std::to_string(run) + "/maps");
    EXPECT_EQ(Stop(run, log).status, 130);
    // The engine is loaded and converting, with libavcodec's codecs and libavformat's AVI.
    for (const char* library : {"libvobcast.so", "libgstreamer-1.0", "libavcodec", "libavformat"})
        EXPECT_TRUE(Contains(maps, library)) << library;
    for (const char* library : {"libQt6", "libgstlibav", "libavfilter"}) EXPECT_FALSE(Contains(maps, library)) << library;
}

TEST(ConvertCli, AFullDiskFailsTheFileAndLeavesNothingHalfWritten) {
    TempFolder dir;
    const fs::path out = dir.path() / "out";
    MakeFile(out / "long.avi", "an earlier conversion");
    // Files may not grow past 300 KiB, as if the disk were full; the engine's own words follow.
    ExpectSays(RunTool("--overwrite -o " + Q(out) + " " + Q(testing_media::MediaPath("long.vob")), "ulimit -f 300; "), 1,
               {"long.vob: the disk is full (The conversion of", "File too large)", "Not converted:"});
    EXPECT_FALSE(fs::exists(out / "long.avi.part"));
    EXPECT_EQ(testing_support::ReadFile(out / "long.avi"), "an earlier conversion") << "a failed conversion replaces nothing";
}

// A finished file takes its name only where no file has it, on the build's
// file system and on FAT (a USB stick), which has neither a no-replace rename
// nor hard links: a real FAT image, mounted with FUSE.
TEST(ConvertCli, PlacesFinishedFilesOnAFatUsbStickWithoutReplacingAny) {
    TempFolder dir;
    MakeFile(dir.path() / "a.part", "new");
    MakeFile(dir.path() / "taken.avi", "old");
    EXPECT_EQ(vobcast::cli::PlaceWithoutReplacing((dir.path() / "a.part").string(), (dir.path() / "taken.avi").string()),
              EEXIST);
    EXPECT_EQ(vobcast::cli::PlaceWithoutReplacing((dir.path() / "a.part").string(), (dir.path() / "a.avi").string()), 0);
    EXPECT_FALSE(fs::exists(dir.path() / "a.part"));

    const fs::path image = dir.path() / "stick.img", stick = dir.path() / "stick";
    fs::create_directories(stick);
    ASSERT_EQ(std::system(("truncate -s 64M " + Q(image) + " && mkfs.vfat -n STICK " + Q(image) +
                           " >/dev/null && fusefat -o rw+ " + Q(image) + " " + Q(stick) + " >/dev/null 2>&1")
                              .c_str()),
              0)
        << "mkfs.vfat (dosfstools) and fusefat make the stick";
    MakeFile(stick / "ntsc.avi.part", "new");
    MakeFile(stick / "kept.avi", "old");
    EXPECT_EQ(vobcast::cli::PlaceWithoutReplacing((stick / "ntsc.avi.part").string(), (stick / "kept.avi").string()),
              EEXIST);
    fs::remove(stick / "ntsc.avi.part");

    EXPECT_EQ(RunTool("-q -o " + Q(stick) + " " + Q(testing_media::MediaPath("ntsc.vob"))).status, 0);
    EXPECT_TRUE(testing_media::ReadAvi((stick / "ntsc.avi").string()).hasIndex);
    EXPECT_FALSE(fs::exists(stick / "ntsc.avi.part"));
    EXPECT_EQ(testing_support::ReadFile(stick / "kept.avi"), "old");
    EXPECT_EQ(std::system(("fusermount -u " + Q(stick)).c_str()), 0);
}

} // namespace

// The average PSNR of an AVI's pictures against its source's, picture by
// picture in order (ffmpeg's psnr filter: the mean squared error over all).
double Psnr(const fs::path& avi, const std::string& source) {
    const std::string out = testing_media::CommandOutput(
        "ffmpeg -nostdin -i " + Q(avi) + " -i " + Q(source) +
        " -lavfi '[0:v]setpts=N/FRAME_RATE/TB[a];[1:v]setpts=N/FRAME_RATE/TB[b];[a][b]psnr' -an -f null - 2>&1");
    const auto at = out.rfind("average:");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + 8);
}

TEST(ConvertCli, CodesToASizeInTwoPassesAtTheQualityOfFfmpegsTwo) {
    TempFolder dir;
    const std::string source = testing_media::MediaPath("quiet-busy.vob");  // 60 s, the second half grainy
    const Result r = RunTool("--size 14 --keyint 12 -o " + Q(dir.path()) + " " + Q(source));
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path avi = dir.path() / "quiet-busy.avi";
    EXPECT_NEAR(static_cast<double>(fs::file_size(avi)), 14e6, 0.02 * 14e6) << "sound, headers and index included";
    EXPECT_EQ(testing_media::StrictReaderFaults(avi.string()), "");
    EXPECT_TRUE(testing_media::ReadAvi(avi.string()).valid);

    // ffmpeg's own two passes, at the rate the same size leaves its video.
    const std::string ff = "ffmpeg -nostdin -v error -y -i " + Q(source) +
                           " -map 0:v:0 -fps_mode passthrough -c:v mpeg4 -g 12 -bf 0 -b:v 1720k -passlogfile " +
                           Q(dir / "ff");
    testing_media::CommandOutput(ff + " -pass 1 -an -f null -");
    testing_media::CommandOutput(ff + " -pass 2 -map 0:a:0 -c:a wmav2 -b:a 128k " + Q(dir / "ffmpeg.avi"));
    const double ours = Psnr(avi, source);
    const double theirs = Psnr(dir / "ffmpeg.avi", source);
    EXPECT_GT(theirs, 20);
    EXPECT_GE(ours, theirs - 0.1);

    // A size that leaves the video too little is refused before anything is coded.
    fs::create_directories(dir / "small");
    ExpectSays(RunTool("--size 2 -o " + Q(dir / "small") + " " + Q(source)), 1,
               {"2 MB is too small for its 60 seconds", "the smallest size that works is 3 MB"});
    EXPECT_TRUE(fs::is_empty(dir / "small"));
    // And a compressor that codes in one pass only.
    ExpectSays(RunTool("--size 14 --compressor 'Motion JPEG' -o " + Q(dir / "small") + " " + Q(source)), 1,
               {"codes in one pass only"});
}

TEST(ConvertCli, CtrlCInTheFirstPassWritesNothingAndInTheSecondKeepsWhatItWrote) {
    TempFolder dir;
    const std::string source = testing_media::MediaPath("quiet-busy.vob");
    const std::string log = dir / "log";
    const pid_t first = Start("--size 14 -o " + Q(dir.path()) + " " + Q(source), log);
    // The first plain progress line (10 % or more) comes within the first pass's 40 %.
    WaitFor([&] { return Contains(testing_support::ReadFile(log), "quiet-busy.vob: "); });
    ExpectSays(Stop(first, log), 130, {"Stopped quiet-busy.vob in its first pass: nothing written"});
    EXPECT_FALSE(fs::exists(dir.path() / "quiet-busy.avi"));

    const pid_t second = Start("--size 14 -o " + Q(dir.path()) + " " + Q(source), log);
    // After the whole first pass (a minute of source: long under the sanitizers).
    WaitUntilPartWritten(dir.path() / "quiet-busy.avi.part", 120);
    ExpectSays(Stop(second, log), 130, {"kept the part converted so far"});
    EXPECT_EQ(testing_media::StrictReaderFaults((dir.path() / "quiet-busy.avi").string()), "");
}

// The mean luma of rows [first, first + count) of the picture at seconds.
double RowsLuma(const fs::path& avi, double seconds, int width, int first, int count) {
    const std::string gray = testing_media::CommandOutput("ffmpeg -nostdin -v error -ss " + std::to_string(seconds) +
                                                          " -i " + Q(avi) + " -frames:v 1 -f rawvideo -pix_fmt gray -");
    const auto from = static_cast<std::size_t>(first) * static_cast<std::size_t>(width);
    const auto n = static_cast<std::size_t>(count) * static_cast<std::size_t>(width);
    if (gray.size() < from + n) return -1;
    double sum = 0;
    for (std::size_t i = from; i < from + n; ++i) sum += static_cast<unsigned char>(gray[i]);
    return sum / static_cast<double>(n);
}

TEST(ConvertCli, CropsAFilmsBlackBarsAndKeepsItsShape) {
    TempFolder dir;
    // A 720x300 picture between bars in a 16:9 frame, its opening scene dark.
    const std::string source = testing_media::MediaPath("letterbox.vob");
    ExpectSays(RunTool("--crop auto -o " + Q(dir.path()) + " " + Q(source)), 0,
               {"Cropping letterbox.vob from 720x480 to 720x300 (black bars 90:90:0:0"});
    const fs::path avi = dir.path() / "letterbox.avi";
    const testing_media::AviFile file = testing_media::ReadAvi(avi.string());
    ASSERT_FALSE(file.streams.empty());
    EXPECT_EQ(file.streams[0].width, 720);
    EXPECT_EQ(file.streams[0].height, 300);
    // What was visible shows as wide as it did: 720x300 of a 16:9 frame of 720x480.
    const std::uint32_t aspect = file.streams[0].frameAspect;
    EXPECT_NEAR(static_cast<double>(aspect >> 16) / (aspect & 0xFFFF), 16.0 / 9 * 480 / 300, 0.01);
    EXPECT_EQ(testing_media::StrictReaderFaults(avi.string()), "");
    for (const int row : {0, 298}) EXPECT_GT(RowsLuma(avi, 12, 720, row, 2), 40) << "no black row left at " << row;

    // A dark region at one side only (the test pattern's black left of the ball) is picture, not a bar;
    // the crop is found before a size too small is refused.
    ExpectSays(RunTool("--crop auto --size 0.01 -o " + Q(dir.path()) + " " + Q(testing_media::MediaPath("ntsc.vob"))), 1,
               {"to 696x474 (black bars 2:4:22:2"});

    ASSERT_EQ(RunTool("--crop 60:60:0:0 --overwrite -o " + Q(dir.path()) + " " + Q(source)).status, 0);
    EXPECT_EQ(testing_media::ReadAvi(avi.string()).streams.at(0).height, 360);
    EXPECT_LT(RowsLuma(avi, 12, 720, 0, 2), 24) << "a bar's 30 rows are left";
    EXPECT_EQ(RunTool("--crop 61:0:0:0 " + Q(source)).status, 2);
    fs::create_directories(dir / "none");
    ExpectSays(RunTool("--crop 240:240:0:0 -o " + Q(dir / "none") + " " + Q(source)), 1,
               {"--crop cuts more than its 720x480 pictures leave"});
}
