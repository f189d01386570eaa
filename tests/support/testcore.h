#pragma once

class TestPlatform;

// Starts the process-wide core on a scripted desktop and returns once its server listens and
// its handlers are registered. One core per test program: call it from initTestCase. A suite
// that serves the web service itself points it there first (setWebServiceBaseUrl).
TestPlatform* startTestCore();
