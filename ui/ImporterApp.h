#pragma once

// The application: starts Qt, runs the main window until it is closed, and ends.
class CImporterApp
{
public:
    // Runs the importer with the program's arguments: files to load as if dropped on the window, or
    // "--screenshot FILE.png" to save a picture of the window (with the files loaded) instead of running it.
    // Returns the process's exit code.
    int Run(int& argc, char** argv);
};
