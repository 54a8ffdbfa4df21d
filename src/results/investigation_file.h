// Investigation files (".bki"): one INI section per row, item0..itemN-1.
#pragma once

#include <cstddef>
#include <string>

#include "results/atomic_file.h"
#include "results/results_table.h"

namespace vx {

// Far beyond any investigation; a larger file is not opened at all.
constexpr size_t kMaxInvestigationFileBytes = 256u * 1024 * 1024;

enum class LoadProblem {
    None,
    Unreadable,      // see error
    NotRegularFile,  // a folder (error EISDIR), a pipe, a device
    TooLarge,        // over kMaxInvestigationFileBytes
    NotText,         // holds NUL bytes
    NoSections,      // text, but not one "[section]"
    TooManyRows,     // more sections than its size can hold as rows
};

struct LoadOutcome {
    LoadProblem problem = LoadProblem::None;
    int error = 0;        // errno value for Unreadable and NotRegularFile
    size_t sections = 0;  // for TooManyRows
    explicit operator bool() const { return problem == LoadProblem::None; }
};

// Reads rows item0..item(n-1), n being the number of sections in the file,
// and replaces the table's rows with them. A file that cannot be read as an
// investigation leaves the table as it was and says why. Never throws.
LoadOutcome LoadInvestigationFile(const std::string& path, ResultsTable& table);
// Why a file was not opened, for a message after the file's name
// ("No such file or directory", "Is a directory", ...).
std::string LoadFailureText(const LoadOutcome& outcome);

// The file text for the table's rows in table order.
std::string FormatInvestigationFile(const ResultsTable& table);

// Writes atomically; on failure the old file is untouched.
WriteResult SaveInvestigationFile(const std::string& path, const ResultsTable& table);

}  // namespace vx
