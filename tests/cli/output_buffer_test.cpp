// Output that fails must neither end the run nor lose track of why it failed.
#include "output/output_buffer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <sstream>
#include <string>

namespace tolvane::cli {
namespace {

// A writer that takes at most `chunk` bytes a call and fails from byte `failAt` on.
struct FakeWriter {
    std::string written;
    std::size_t chunk = 1000;
    std::size_t failAt = static_cast<std::size_t>(-1);
    int failWith = EPIPE;
    int calls = 0;

    OutputBuffer::WriteFunction function() {
        return [this](const char* data, std::size_t size, int& error) -> long {
            ++calls;
            if (written.size() >= failAt) {
                error = failWith;
                return -1;
            }
            const std::size_t take = std::min({size, chunk, failAt - written.size()});
            written.append(data, take);
            return static_cast<long>(take);
        };
    }
};

TEST(OutputBuffer, ShortWritesAreContinuedUntilEverythingIsOut) {
    FakeWriter writer;
    writer.chunk = 3;
    OutputBuffer buffer(writer.function());
    std::ostream out(&buffer);
    out << "progress 50%" << '\n' << 42;
    EXPECT_EQ(writer.written, "progress 50%\n42");
    EXPECT_EQ(buffer.error(), 0);
}

TEST(OutputBuffer, AfterTheFirstFailureNothingMoreIsTriedAndTheStreamStaysGood) {
    FakeWriter writer;
    writer.failAt = 5;
    writer.failWith = ENOSPC;
    OutputBuffer buffer(writer.function());
    std::ostream out(&buffer);
    out << "0123456789";
    const int callsAtFailure = writer.calls;
    out << "more" << '\n' << std::flush;
    EXPECT_EQ(writer.written, "01234");
    EXPECT_EQ(buffer.error(), ENOSPC);
    EXPECT_EQ(writer.calls, callsAtFailure);
    // The run goes on as if nothing happened: no failbit, no exception.
    EXPECT_TRUE(out.good());
    EXPECT_EQ(WriteErrorOf(out), ENOSPC);
}

TEST(OutputBuffer, AWriterThatTakesNothingCountsAsAFailure) {
    OutputBuffer buffer([](const char*, std::size_t, int&) -> long { return 0; });
    std::ostream out(&buffer);
    out << "x";
    EXPECT_EQ(buffer.error(), EIO);
}

}  // namespace
}  // namespace tolvane::cli
