#include "output/run_report.h"

#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

TEST(RunReport, JsonHoldsEveryField) {
    RunReport report;
    report.command = "update";
    report.result = "DFU_ERR_VERIFY";
    report.code = DFU_ERR_VERIFY;
    report.exitCode = 6;
    report.message = "DFU update / verify / checksum fail !";
    report.bytesSent = 16384;
    report.bytesTotal = 16384;
    report.seconds = 1.5;
    report.expectedChecksum = 0x1234;
    report.reportedChecksum = 0x1235;
    report.simulated = true;
    report.memoryMatches = true;
    report.deviceChecksum = 0x1235;
    EXPECT_EQ(JsonText(ToJson(report)),
              "{\"command\":\"update\",\"result\":\"DFU_ERR_VERIFY\",\"code\":3758096647,"
              "\"exit_code\":6,\"message\":\"DFU update / verify / checksum fail !\","
              "\"bytes_sent\":16384,\"bytes_total\":16384,\"seconds\":1.5,"
              "\"expected_checksum\":4660,\"reported_checksum\":4661,\"simulated\":true,"
              "\"memory_matches\":true,\"device_checksum\":4661}");
}

TEST(RunReport, UnknownValuesAreNull) {
    const std::string json = JsonText(ToJson(RunReport{}));
    EXPECT_NE(json.find("\"expected_checksum\":null"), std::string::npos);
    EXPECT_NE(json.find("\"reported_checksum\":null"), std::string::npos);
    EXPECT_NE(json.find("\"memory_matches\":null"), std::string::npos);
}

TEST(RunReport, StringsAreEscapedAndBytesThatAreNotUtf8Replaced) {
    EXPECT_EQ(JsonText(Json("a\"b\\c\nd\x01")), "\"a\\\"b\\\\c\\nd\\u0001\"");
    EXPECT_EQ(JsonText(Json("C:\\fw\\image.hex")), "\"C:\\\\fw\\\\image.hex\"");
    EXPECT_EQ(JsonText(Json("fw\xff.bin")), "\"fw\xEF\xBF\xBD.bin\"");
    EXPECT_EQ(JsonText(Json("caf\xC3\xA9")), "\"caf\xC3\xA9\"");
}

TEST(RunReport, WarningsAndCommandFieldsComeAfterTheCommonOnes) {
    RunReport report;
    report.warnings.push_back("w");
    report.extra["interfaces"] = Json::array();
    const std::string json = JsonText(ToJson(report));
    EXPECT_NE(json.find("\"device_checksum\":null,\"warnings\":[\"w\"],\"interfaces\":[]}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"command\":null"), std::string::npos);
}

TEST(RunReport, ResultNames) {
    EXPECT_EQ(ResultName(0), "DFU_SUCCESS");
    EXPECT_EQ(ResultName(DFU_ERR_AP_TIMEOUT), "DFU_ERR_AP_TIMEOUT");
    EXPECT_EQ(ResultName(31), "SYSTEM_ERROR");
}

}  // namespace
}  // namespace tolvane::cli
