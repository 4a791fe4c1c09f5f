// A course folder in a temporary directory with an engine bound to an off-window stage:
// scripts are assembled from text, pictures drawn as BMP files, time advanced by hand.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "data/Course.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"
#include "support/TempFolder.h"

namespace script {

class EngineFixture : public ::testing::Test {
  protected:
    EngineFixture();
    void SetUp() override;
    void TearDown() override;

    // Assembles source into LDE\<name>; fails the test on an assembly error.
    void WriteScript(const std::string& name, const std::string& source);
    // Writes BMP\<name>.BMP (or BMP\MASK\<name>.BMP) of one colour.
    void WritePicture(const std::string& name, int width, int height, QColor colour,
                      bool mask = false);
    // Writes MSG\<lang>\<name>.MSG with the given texts.
    void WriteMessages(const std::string& lang, const std::string& name,
                       const std::vector<std::string>& texts);
    // Opens name and runs ticks; each tick advances the clock by one interval.
    void Run(const std::string& name, int ticks);
    void Ticks(int n);
    // Runs until the script has ended (at most limit ticks); returns the ticks used.
    int RunToEnd(const std::string& name, int limit = 1000);
    // Trace lines that start with prefix.
    std::vector<std::string> TraceLines(const std::string& prefix) const;
    bool Traced(const std::string& line) const;
    const std::vector<std::string>& Vars(int level = 0) const { return engine_->Variables(level); }

    support::TempFolder temp_;
    std::string dir_;
    data::Course course_;  // the course is dir_, whatever the current folder
    data::ConfigTable& config_;
    data::OptionFlags& options_;
    HeadlessHost host_;
    QImage picture_;
    std::unique_ptr<ScriptEngine> engine_;
    std::vector<std::string> trace_;
    int64_t now_ = 1000;
};

}  // namespace script
