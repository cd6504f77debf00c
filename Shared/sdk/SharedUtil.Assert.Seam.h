#pragma once

// The handler a failed SU_ASSERT calls, replaceable so that tests can observe
// an assertion instead of the process ending. Shipping code never replaces it.
namespace SharedUtil
{
using AssertHandlerFunction = void (*)(const char* szExpression, const char* szFile, int iLine);

// Installs pFunction (null: print and abort) and returns the one before.
AssertHandlerFunction SetAssertHandlerFunction(AssertHandlerFunction pFunction);
} // namespace SharedUtil
