#include "TestSuites.h"

int main(int argc, char** argv) {
    int failures = runCommandModeTests(argc, argv);
    failures += runExchangeTests(argc, argv);
    failures += runLineOptionsTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
