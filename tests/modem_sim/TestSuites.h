#pragma once

// Each suite runs as its own QtTest object; the number returned is its count of failures.
int runCommandModeTests(int argc, char** argv);
int runExchangeTests(int argc, char** argv);
int runLineOptionsTests(int argc, char** argv);
