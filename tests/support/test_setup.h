#pragma once

/// Readies the test process's character handling like the tool's own.
void prepareTestProcess();
