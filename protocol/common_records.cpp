// Records shared by several domains, and the stubs of the procedures that reply with them.
#include "protocol/procedures.hpp"

using namespace qel;

extern "C" {

bool_t xdr_rpc_StringAndEC(XDR *xdrs, rpc_StringAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdrText(xdrs, &record->text);
}

bool_t xdr_rpc_FloatAndEC(XDR *xdrs, rpc_FloatAndEC *record) {
  return xdr_int(xdrs, &record->errorCode) && xdr_float(xdrs, &record->value);
}

bool_t xdr_rpc_MountInfo(XDR *xdrs, rpc_MountInfo *record) {
  return xdr_int(xdrs, &record->number1) && xdrText(xdrs, &record->text1) &&
         xdrText(xdrs, &record->text2) && xdr_int(xdrs, &record->number2) &&
         xdr_u_long(xdrs, &record->unsignedNumber) && xdrText(xdrs, &record->text3) &&
         xdrText(xdrs, &record->text4);
}

// clang-format off
rpc_StringAndEC *gethostname_1(unsigned int *argp, CLIENT *clnt) { return proc::GetHostname::call(argp, clnt); }
rpc_StringAndEC *getpbmstring_1(unsigned int *argp, CLIENT *clnt) { return proc::GetPBMString::call(argp, clnt); }
rpc_StringAndEC *sysgetsensorvaluesxml_1(void *argp, CLIENT *clnt) { return proc::SensorValuesXML::call(argp, clnt); }
rpc_StringAndEC *sysgetsensorvaluesascii_1(void *argp, CLIENT *clnt) { return proc::SensorValuesASCII::call(argp, clnt); }
rpc_StringAndEC *sysgetsensorvaluesforcomponentxml_1(char **argp, CLIENT *clnt) { return proc::ComponentValuesXML::call(argp, clnt); }
rpc_StringAndEC *sysgetsensorvaluesforcomponentascii_1(char **argp, CLIENT *clnt) { return proc::ComponentValuesASCII::call(argp, clnt); }
rpc_FloatAndEC *sysgetsensorvalue_1(char **argp, CLIENT *clnt) { return proc::GetSensorValue::call(argp, clnt); }
rpc_StringAndEC *sysgetcomponentstatusall_1(void *argp, CLIENT *clnt) { return proc::ComponentStatusAll::call(argp, clnt); }
rpc_StringAndEC *sysgetesvaluesforcomponentxml_1(char **argp, CLIENT *clnt) { return proc::ESValuesXML::call(argp, clnt); }
rpc_StringAndEC *sysgetpresencedetectall_1(void *argp, CLIENT *clnt) { return proc::PresenceDetectAll::call(argp, clnt); }
// clang-format on

}  // extern "C"
