// The parameters of one lesson step, read from its parameter line
//   "K[<hex>:<hex>] BR<expected>:<tolerance> TRY<limit>:<penalty> PT<points> LDE<script>
//    F<f> P<p>:[<comment>]"
// together with what the learner's answers and the step's sub-steps add to them.
#pragma once

#include <string>

namespace lesson {

// Values a well-formed parameter line yields.
inline constexpr int kParameterCount = 11;
// Longest script, comment and matrix names kept.
inline constexpr int kScriptNameSize = 20;
inline constexpr int kCommentSize = 23;
inline constexpr int kMatrixNameSize = 22;

struct StepParameters {
    unsigned long KeyHigh = 0, KeyLow = 0;
    int Expected = 0, Tolerance = 0;
    int TryLimit = 0, TryPenalty = 0;
    int Points = 0, PointsAtStake = 0;
    std::string ScriptName = "-";
    int FNumber = 0, PNumber = 0;
    std::string Comment = "-";
    int Given = 0;
    int SubAnswer = 0;
    std::string MatrixName = "-";
    int SubTotal = 0;
    bool NotRecorded = false;

    // Everything back to its initial value except NotRecorded, which the flow sets for the
    // step before the step is shown.
    void Reset();
    // Reads a parameter line; returns the number of values read (kParameterCount when the
    // line is whole). Names longer than their limit make the line malformed.
    int Parse(const std::string& line);
};

// One line of a sub-step file, "LDE<script> TPS<points> MTX<matrix>": fields not present keep
// the values given.
void ParseSubStepLine(const std::string& line, std::string& script, int& points,
                      std::string& matrix);

}  // namespace lesson
