// --plot DIR: data files filled during the run; after it, gnuplot scripts
// beside them and the PNG pictures they render (space-time, speeds, lanes).
#pragma once

// Whether a gnuplot program is on the PATH.
bool gnuplotFound();

// Creates DIR when missing and opens its data files. False (with a message on
// standard error) when they cannot be written.
bool openPlots(const char* dir);

// Sets how many steps lie between space-time dots: `every`, coarsened so that
// a long, dense run stays a picture gnuplot draws in seconds.
void choosePlotSampling(long every, long steps, int cars);

void plotCars();            // space-time dots of every car, if due at this step
void plotReportPoint();     // the averages of the report line just built
void plotPeriod();          // flow and density of the measuring period just finished

// Closes the data, writes the scripts and runs gnuplot in DIR. False (with a
// message) when something could not be written or drawn.
bool finishPlots();
