#pragma once
namespace vantoro { int runCli(int argc, char** argv); }
