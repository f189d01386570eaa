#pragma once

class TestPlatform;

// Starts the process-wide core on a scripted desktop and returns once its server listens and
// its handlers are registered. One core per test program: call it from initTestCase.
TestPlatform* startTestCore();
