// `ninetrace-cli ports`: the serial devices present and whether this user may open them.
#pragma once

namespace ninetrace::cli {

// Parses the arguments after "ports" (argv[2] on) and lists the ports; returns the exit status.
int RunPorts(int argc, char** argv);

}  // namespace ninetrace::cli
