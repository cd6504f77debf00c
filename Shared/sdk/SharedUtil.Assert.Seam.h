#pragma once

// The handler a failed SU_ASSERT calls, replaceable so that tests can observe
// an assertion instead of the process ending. Shipping code never replaces it.
namespace SharedUtil
{
using AssertHandler = void (*)(const char* szExpression, const char* szFile, int iLine);

// Installs pHandler (null: print and abort) and returns the one before.
AssertHandler SetAssertHandler(AssertHandler pHandler);
} // namespace SharedUtil
