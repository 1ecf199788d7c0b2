#pragma once

#include <QString>

// The private environment the test main sets up before any test runs.
namespace testsupport {

// The temporary folder that holds this test process's hostmsg, config and data
// folders; removed when the process ends.
QString tempRoot();

// A program built by this project, by its path below the build tree
// (for example "hostrun/hostrun").
QString builtProgram(const QString &relativePath);

} // namespace testsupport
