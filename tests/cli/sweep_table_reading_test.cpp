// The runs tables read back by --merge and --resume-from are files from
// anywhere: every cell is checked against what a run can give, every row
// against its checksum, and every file read within a bounded memory.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>

#include "cli/batch.h"
#include "tests/cli/cli_test_support.h"

namespace nyajkor::batch {
namespace {

using namespace test;
using ::testing::HasSubstr;
using ::testing::Not;

// Six runs of a small flock: three noise levels, two repeats.
const std::vector<std::string> kSweep = {"--sweep", "noise=0:100:50", "--repeats", "2", "--n",    "500",
                                         "--radius", "3",            "--warmup",  "3", "--ticks", "8",
                                         "--seed",  "40"};

// The columns of a row of kSweep's runs table.
enum Column : std::size_t {
    noise, seed, orderMean, orderSd, neighboursMean, neighboursSd, distanceMean, distanceSd, orderSquare,
    orderFourth, susceptibility, binder, tau, orderError, shortRun, runColumn, shardColumn, sweepId, checksum
};

std::string joined(const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t k = 0; k < cells.size(); ++k) text += (k ? "," : "") + cells[k];
    return text;
}

// The row's checksum as a table carries it: 64-bit FNV-1a of the text
// before its last comma, in 16 hexadecimal digits. A table of a runner
// without the column is left as it is.
std::string withChecksum(std::vector<std::string> cells, bool tableHasChecksums) {
    if (!tableHasChecksums) return joined(cells);
    cells.pop_back();
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : joined(cells) + ",") {
        h ^= c;
        h *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    cells.push_back(hex);
    return joined(cells);
}

class SweepTableReading : public BatchFiles {
protected:
    void SetUp() override {
        BatchFiles::SetUp();
        for (const char* k : {"1", "2"}) {
            const RunResult r =
                run(with(kSweep, {"--shard", std::string(k) + "/2", "--csv", path(std::string("s") + k)}));
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }
    RunResult merge(const std::vector<std::string>& files) {
        return run(with(with(kSweep, {"--summary", path("merged.csv"), "--merge"}), files));
    }
    // Shard 1/2's table with the cell `column` of its second row set to
    // `cell`, the row's checksum made to fit, as a crafted file would have it.
    std::string crafted(std::size_t column, const std::string& cell) {
        auto rows = lines(slurp(path("s1")));
        const bool checksums = rows[0].size() > 9 && rows[0].substr(rows[0].size() - 9) == ",checksum";
        auto cells = fields(rows[2]);
        cells[column] = cell;
        rows[2] = withChecksum(cells, checksums);
        std::ofstream out(path("crafted"), std::ios::binary);
        for (const auto& row : rows) out << row << '\n';
        return path("crafted");
    }
};

// A cell a run cannot have written, and a piece of the message that refuses it.
struct BadCell {
    std::string name;
    Column column;
    std::string cell, message;
};
void PrintTo(const BadCell& c, std::ostream* os) { *os << c.name; }

class SweepTableBadCell : public SweepTableReading, public ::testing::WithParamInterface<BadCell> {};

TEST_P(SweepTableBadCell, IsRefusedInOneLineThatQuotesItEscaped) {
    const BadCell& c = GetParam();
    const RunResult r = merge({crafted(c.column, c.cell), path("s2")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_THAT(r.err, HasSubstr(path("crafted") + "' line 3"));
    EXPECT_THAT(r.err, HasSubstr(c.message));
    EXPECT_FALSE(fs::exists(path("merged.csv")));
    // nothing of the file reaches the terminal unescaped
    for (char control : {'\x1b', '\r', '\a', '\b'}) EXPECT_EQ(r.err.find(control), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    EveryColumn, SweepTableBadCell,
    ::testing::Values(
        BadCell{"OrderNaN", orderMean, "nan", "order_mean 'nan', not a finite number"},
        BadCell{"OrderInfinite", orderMean, "inf", "order_mean 'inf', not a finite number"},
        BadCell{"OrderNegative", orderMean, "-5", "order_mean '-5', out of its range 0..1"},
        BadCell{"OrderAboveOne", orderMean, "1.5", "order_mean '1.5', out of its range 0..1"},
        BadCell{"OrderEmpty", orderMean, "", "order_mean empty, where a value is required"},
        BadCell{"OrderSpaced", orderMean, " 0.5", "order_mean ' 0.5', not a finite number"},
        BadCell{"OrderOverflowing", orderMean, "1e999", "order_mean '1e999', not a finite number"},
        BadCell{"OrderDeviationNegative", orderSd, "-0.1", "order_sd '-0.1', out of its range"},
        BadCell{"NeighboursNegative", neighboursMean, "-5", "avg_neighbours_mean '-5', out of its range"},
        BadCell{"NeighboursEmpty", neighboursMean, "", "avg_neighbours_mean empty, where a value is required"},
        BadCell{"NeighboursMoreThanTheFlock", neighboursMean, "5001", "avg_neighbours_mean '5001', out of"},
        BadCell{"DistanceNaN", distanceMean, "nan", "mean_nn_distance_mean 'nan', not a finite number"},
        BadCell{"DistanceBeyondTheBox", distanceMean, "1e6", "mean_nn_distance_mean '1e6', out of its range"},
        BadCell{"SquareEmpty", orderSquare, "", "order_sq_mean empty, where a value is required"},
        BadCell{"FourthAboveOne", orderFourth, "2", "order_fourth_mean '2', out of its range 0..1"},
        BadCell{"SusceptibilityNegative", susceptibility, "-5", "susceptibility '-5', out of its range"},
        BadCell{"SusceptibilityInfinite", susceptibility, "-inf", "susceptibility '-inf', not a finite number"},
        BadCell{"BinderAboveOne", binder, "1.5", "binder '1.5', out of its range"},
        BadCell{"TauInfinite", tau, "inf", "order_tau 'inf', not a finite number"},
        BadCell{"ErrorNegative", orderError, "-1", "order_err '-1', out of its range"},
        BadCell{"ShortRunFlagThatLies", shortRun, "0", "has short_run '0', where its order_tau and 8 ticks give 1"},
        BadCell{"RunWithLeadingZero", runColumn, "02", "has no run '02' of this sweep"},
        BadCell{"RunNegative", runColumn, "-2", "has no run '-2' of this sweep"},
        BadCell{"ShardWithLeadingZero", shardColumn, "01/2", "has run 2 in shard '01/2'"},
        BadCell{"SeedSigned", seed, "+40", "has run 2 at noise=50 seed +40, where this sweep runs noise=50 seed 40"},
        BadCell{"SweptValueWithLeadingZero", noise, "050", "has run 2 at noise=050 seed 40"},
        BadCell{"SweepIdThatClearsTheScreen", sweepId, "\x1b[2J\x1b[H", "(sweep_id '\\x1b[2J\\x1b[H', not "},
        BadCell{"CellWithACarriageReturn", orderSd, "0.1\r", "order_sd '0.1\\r', not a finite number"},
        BadCell{"CellThatRingsTheBell", noise, "50\a\b", "noise=50\\x07\\x08 seed 40"}),
    [](const auto& info) { return info.param.name; });

TEST_F(SweepTableReading, EveryStrayOneByteEditIsRefused) {
    const std::string table = slurp(path("s1"));
    const std::size_t rowsStart = table.find('\n') + 1;
    int merged = 0;
    for (std::size_t at = rowsStart; at < table.size(); ++at) {
        if (table[at] == '\n') continue;
        std::string edited = table;
        const char c = table[at];
        edited[at] = c >= '0' && c <= '8' ? c + 1 : c == '9' ? '0' : c == ',' ? '.' : '7';
        std::ofstream(path("edited"), std::ios::binary) << edited;
        const RunResult r = merge({path("edited"), path("s2")});
        if (r.status != 2) ++merged;
        else EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    }
    EXPECT_EQ(merged, 0);
}

TEST_F(SweepTableReading, WindowsLineEndsReadAsTheirRows) {
    const RunResult whole = run(with(kSweep, {"--summary", path("whole.csv")}));
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::string crlf;
    for (const auto& row : lines(slurp(path("s1")))) crlf += row + "\r\n";
    std::ofstream(path("crlf"), std::ios::binary) << crlf;
    const RunResult r = merge({path("crlf"), path("s2")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(path("merged.csv")), slurp(path("whole.csv")));
}

// A file that is no table, and a piece of the one line that refuses it.
struct BadFile {
    std::string name;
    std::function<std::string(const std::string& dir)> make;  // its path
    std::string message;
};
void PrintTo(const BadFile& f, std::ostream* os) { *os << f.name; }

class SweepTableBadFile : public SweepTableReading, public ::testing::WithParamInterface<BadFile> {};

TEST_P(SweepTableBadFile, IsRefusedAfterABoundedRead) {
    const std::string file = GetParam().make(dir_.string());
    for (const bool resuming : {false, true}) {
        SCOPED_TRACE(resuming ? "--resume-from" : "--merge");
        const RunResult r = resuming ? run(with(kSweep, {"--shard", "1/2", "--resume-from", file, "--csv",
                                                         path("resumed.csv")}))
                                     : merge({path("s1"), path("s2"), file});
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_THAT(r.err, HasSubstr(GetParam().message));
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
        EXPECT_FALSE(fs::exists(path("merged.csv")));
        EXPECT_FALSE(fs::exists(path("resumed.csv")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, SweepTableBadFile,
    ::testing::Values(
        BadFile{"Directory",
                [](const std::string& dir) {
                    fs::create_directory(dir + "/tables");
                    return dir + "/tables";
                },
                "/tables' is a directory, not a table"},
        BadFile{"EndlessZeros", [](const std::string&) { return std::string("/dev/zero"); },
                "'/dev/zero' line 1 is longer than any line of a runs table"},
        BadFile{"NoNewlineAtAll",
                [](const std::string& dir) {
                    std::ofstream(dir + "/long", std::ios::binary) << std::string(1 << 20, '7');
                    return dir + "/long";
                },
                "line 1 is longer than any line of a runs table"},
        BadFile{"LongRow",
                [](const std::string& dir) {
                    std::string table = slurp(dir + "/s2");
                    table.insert(table.find('\n') + 1, std::string(1 << 20, '1'));
                    std::ofstream(dir + "/longrow", std::ios::binary) << table;
                    return dir + "/longrow";
                },
                "line 2 is longer than any line of a runs table"},
        BadFile{"NameThatMovesTheCursor",
                [](const std::string& dir) {
                    std::ofstream(dir + "/\x1b[1Aname", std::ios::binary) << "tick,order\n";
                    return dir + "/\x1b[1Aname";
                },
                "/\\x1b[1Aname' is not a table of this sweep's runs"},
        BadFile{"TableOfARunnerWithoutChecksums",
                [](const std::string& dir) {
                    std::string table = slurp(dir + "/s2");
                    std::string old;
                    // without the checksum and the short_run flag, which came with it
                    for (auto row : lines(table)) {
                        auto f = fields(row);
                        f.pop_back();
                        f.erase(f.end() - 4);
                        std::string joined;
                        for (const auto& cell : f) joined += (joined.empty() ? "" : ",") + cell;
                        old += joined + "\n";
                    }
                    std::ofstream(dir + "/old", std::ios::binary) << old;
                    return dir + "/old";
                },
                "has no checksum column: made by an earlier runner"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace nyajkor::batch
