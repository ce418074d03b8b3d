#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "common/errors.h"

#include "fakes.h"
#include "common/trace.h"

namespace perchlet {
namespace {

TEST(TraceLine, IndentsOrdinaryMessagesAndKeepsProblemsFlush) {
    const LocalTime time{2009, 10, 31, 14, 5, 9};
    struct Case {
        const char* message;
        const char* line;
    } cases[] = {
        {"Exit cancelled!", "31/10/2009 14:05:09    Exit cancelled!"},
        {"warning: lower case", "31/10/2009 14:05:09 warning: lower case"},
        {"Warn: short word", "31/10/2009 14:05:09    Warn: short word"},
        {"ERRORS galore", "31/10/2009 14:05:09 ERRORS galore"},
        {"Error  9 (x)", "31/10/2009 14:05:09 Error  9 (x)"},
        {"", "31/10/2009 14:05:09    "},
        {" Warning", "31/10/2009 14:05:09     Warning"},
        {"WARNIN", "31/10/2009 14:05:09    WARNIN"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatTraceLine(time, "/", ":", c.message), c.line) << c.message;
    }
}

TEST(TraceLine, UsesTheLocaleSeparatorsAndPadsEveryField) {
    EXPECT_EQ(formatTimeStamp({2026, 1, 2, 3, 4, 5}, ".", "-"), "02.01.2026 03-04-05");
    EXPECT_EQ(formatTimeStamp({987, 12, 31, 23, 59, 58}, "/", ":"), "31/12/0987 23:59:58");
}

TEST(TraceWriter, WritesNothingBeforeTheLogIsOpen) {
    testing::FakeSystem system;
    system.program.subWriteTrace("lost");
    EXPECT_TRUE(system.files.contents.empty());
    EXPECT_TRUE(system.boxes.shown.empty());
}

TEST(TraceWriter, ReportsAFailedWriteOnceAndTriesAgainNextTime) {
    testing::FakeSystem system;
    system.openLog();
    system.files.failingWrites.insert(testing::FakeSystem::kLogPath);
    system.program.subWriteTrace("first");
    ASSERT_EQ(system.boxes.shown.size(), 1u);
    EXPECT_EQ(system.boxes.shown[0].prompt, "Error  61 (Disk full) occurred in subWriteTrace");
    EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
    EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
    system.files.failingWrites.clear();
    system.program.subWriteTrace("second");
    EXPECT_EQ(system.traceMessages(), std::vector<std::string>{"second"});
}

TEST(TrappedError, TracesAndShowsTheReportOfWhatWasThrown) {
    struct Case {
        std::exception_ptr thrown;
        const char* report;
    } cases[] = {
        {std::make_exception_ptr(errors::subscriptOutOfRange()),
         "Error  9 (Subscript out of range) occurred in frmCommon"},
        {std::make_exception_ptr(std::bad_alloc()),
         "Error  7 (Out of memory) occurred in frmCommon"},
        {std::make_exception_ptr(std::invalid_argument("stoi")),
         "Error  51 (Internal error) occurred in frmCommon"},
        {std::make_exception_ptr(42), "Error  51 (Internal error) occurred in frmCommon"},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        system.program.reportError(errors::fromException(c.thrown), "frmCommon");
        EXPECT_EQ(system.traceMessages(), std::vector<std::string>{c.report});
        ASSERT_EQ(system.boxes.shown.size(), 1u);
        EXPECT_EQ(system.boxes.shown[0].prompt, c.report);
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
    }
}

}  // namespace
}  // namespace perchlet
