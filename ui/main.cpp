// tunelore-importer: the importer window.

#include "ui/ImporterApp.h"

int main(int argc, char** argv)
{
    CImporterApp application;
    return application.Run(argc, argv);
}
