#pragma once
// corvalis_bench --reproducibility: K whole runs of the program of one kind (a single
// measurement, --repeat N or --repeat auto), each in its own child process and folder,
// and how far their values and answers agree, how often one run's interval holds what
// the others report, what the kind costs against a single run and the peak memory of
// every run.

namespace corvalis {

// Arguments after "--reproducibility": single|repeat:N|auto[:SECONDS] K [-WIDTHxHEIGHT]
// [--tests LIST] [--load] [-- OPTIONS]. Prints as it goes; returns the exit status (2 for
// bad arguments, 1 when a run fails).
int runReproducibility(int argc, char** argv);

}  // namespace corvalis
