#pragma once
// A QApplication for a widget test program, made before the first test and destroyed after
// the last one while main still runs: destroyed among the static objects at exit, it would
// outlive parts of Qt it needs and crash.
#include <memory>

#include <gtest/gtest.h>

#include <QApplication>

namespace lepotex::test {

class QtApplicationEnvironment final : public testing::Environment {
public:
    void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
    void TearDown() override { app.reset(); }

private:
    int argc = 1;
    char name[8] = "lepotex";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
};

// Include this header in exactly one source file of the test program.
inline testing::Environment* const qtApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace lepotex::test
