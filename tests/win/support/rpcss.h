#pragma once
// Under Wine a killed local server leaves a stale class registration in rpcss, and every
// later activation of that class fails until rpcss restarts. Stops RpcSs (COM starts it
// again on the next activation). Does nothing outside Wine, where rpcss copes by itself.
namespace qvtest {

bool RestartRpcSsUnderWine();

}  // namespace qvtest
