# SPDX-License-Identifier: Apache-2.0
"""Network configuration of the service processor: interfaces, DNS, hostname, date, defaults.

Addresses are dotted-quad texts; as numbers (ip_address_to_string, string_to_ip_address) the
first dotted number is the most significant byte. selector is the configuration selector,
sent unchanged. The module's functions call the default client; ``client.network`` has the
same remote operations on a client of one's own."""
from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass

from . import _checks
from ._calls import CLIENT_TIMEOUT, Caller, Timeout, take_block, take_text
from ._default import caller as _default_caller
from ._native import ffi, lib
from .errors import check

__all__ = ["Network", "IPInfo", "DNSInfo", "ip_address_to_string", "string_to_ip_address",
           "get_date", "set_date", "get_ip", "set_ip", "get_dns", "set_dns", "get_hostname",
           "set_hostname", "reset_to_default_settings"]


@dataclass(frozen=True)
class IPInfo:
    """One interface's settings; an address the server marks absent is None."""
    enabled: bool
    dhcp: bool
    ip_address: str | None
    netmask: str | None
    gateway: str | None
    label: str
    hardware_address: bytes


@dataclass(frozen=True)
class DNSInfo:
    """The DNS servers present (up to three) and the DNS text."""
    servers: list[str]
    text: str


def ip_address_to_string(address: int) -> str:
    """Dotted-quad text of an address (qelIPAddressToString); no remote call."""
    out = ffi.new("char **")
    code = lib.qelIPAddressToString(_checks.integer(address, "address", _checks.UINT), out)
    text = take_text(out[0])
    check(code, "qelIPAddressToString", (address,))
    return text or ""


def string_to_ip_address(address: str) -> int:
    """The address a dotted-quad text reads as (qelStringToIPAddress); InvalidArgument when it
    is not one. No remote call."""
    out = ffi.new("unsigned int *")
    check(lib.qelStringToIPAddress(_checks.text(address, "address"), out),
          "qelStringToIPAddress", (address,))
    value: int = out[0]
    return value


def get_date() -> str:
    """This machine's time in UTC, "YYYY-MM-DD HH:MM:SS GMT" (qelGetDate); no remote call."""
    out = ffi.new("char **")
    code = lib.qelGetDate(out)
    text = take_text(out[0])
    check(code, "qelGetDate")
    return text or ""


class Network:
    """The network operations on one client's connections."""

    __slots__ = ("_caller",)

    def __init__(self, caller: Caller) -> None:
        self._caller = caller

    def set_date(self, date: str, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sends the date text unchanged (qelSetDate)."""
        self._caller.status(lib.qelpy_qelSetDate, (date,), timeout, _checks.text(date, "date"))

    def get_ip(self, interface: int, selector: int = 0, *,
               timeout: Timeout = CLIENT_TIMEOUT) -> IPInfo:
        """Reads one interface's settings (qelGetIP_Str)."""
        flags = ffi.new("int[2]")
        texts = ffi.new("char *[4]")
        block = ffi.new("unsigned char **")
        try:
            self._caller.status(lib.qelpy_qelGetIP_Str, (interface, selector), timeout,
                                _checks.integer(selector, "selector", _checks.UINT),
                                _checks.integer(interface, "interface", _checks.UINT), flags,
                                flags + 1, texts, texts + 1, texts + 2, texts + 3, block)
        finally:
            address, netmask, gateway, label = (take_text(texts[i]) for i in range(4))
            hardware_address = take_block(block[0], 6)
        return IPInfo(bool(flags[0]), bool(flags[1]), address, netmask, gateway, label or "",
                      hardware_address or bytes(6))

    def set_ip(self, interface: int, enabled: bool = True, dhcp: bool = False,
               ip_address: str | None = None, netmask: str | None = None,
               gateway: str | None = None, request_text: str | None = None,
               selector: int = 0, *, timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Writes one interface's settings (qelSetIP_Str). With dhcp the addresses are not sent;
        otherwise a None address is sent absent, and a malformed one raises InvalidArgument
        before anything is sent."""
        self._caller.status(lib.qelpy_qelSetIP_Str, (interface, ip_address), timeout,
                            _checks.integer(selector, "selector", _checks.UINT),
                            _checks.integer(interface, "interface", _checks.UINT),
                            _checks.boolean(enabled, "enabled"), _checks.boolean(dhcp, "dhcp"),
                            _checks.text(ip_address, "ip_address", optional=True),
                            _checks.text(netmask, "netmask", optional=True),
                            _checks.text(gateway, "gateway", optional=True),
                            _checks.text(request_text, "request_text", optional=True))

    def get_dns(self, selector: int = 0, *, timeout: Timeout = CLIENT_TIMEOUT) -> DNSInfo:
        """Reads the DNS servers and the DNS text (qelGetDNS_Str)."""
        texts = ffi.new("char *[2]")
        try:
            self._caller.status(lib.qelpy_qelGetDNS_Str, (selector,), timeout,
                                _checks.integer(selector, "selector", _checks.UINT), texts,
                                texts + 1)
        finally:
            servers, dns_text = take_text(texts[0]), take_text(texts[1])
        return DNSInfo(servers.split(", ") if servers else [], dns_text or "")

    def set_dns(self, servers: Sequence[str], dns_text: str | None = None, selector: int = 0, *,
                timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Writes up to three DNS servers (a fourth raises TooManyValues) and the DNS text
        (qelSetDNS_Str)."""
        if isinstance(servers, str):
            raise TypeError("servers must be a sequence of str, not one str")
        joined = ", ".join(_checks.text(s, "servers[]").decode("utf-8", "surrogateescape")
                           for s in servers)
        self._caller.status(lib.qelpy_qelSetDNS_Str, (list(servers),), timeout,
                            _checks.integer(selector, "selector", _checks.UINT),
                            _checks.text(joined, "servers"),
                            _checks.text(dns_text, "dns_text", optional=True))

    def get_hostname(self, selector: int = 0, *, timeout: Timeout = CLIENT_TIMEOUT) -> str:
        """The SP's hostname (qelGetHostname)."""
        return self._caller.text(lib.qelpy_qelGetHostname, (selector,), timeout,
                                 _checks.integer(selector, "selector", _checks.UINT))

    def set_hostname(self, hostname: str, selector: int = 0, *,
                     timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Sets the SP's hostname (qelSetHostname)."""
        self._caller.status(lib.qelpy_qelSetHostname, (hostname,), timeout,
                            _checks.integer(selector, "selector", _checks.UINT),
                            _checks.text(hostname, "hostname"))

    def reset_to_default_settings(self, reset_selector: int, *,
                                  timeout: Timeout = CLIENT_TIMEOUT) -> None:
        """Asks the server to restore its defaults (qelResetToDefaultSettings). The library
        gives this call 180 s, whatever the client's wait; later calls have the client's again."""
        selector = ffi.new("unsigned short *",
                           _checks.integer(reset_selector, "reset_selector", _checks.USHORT))
        self._caller.status(lib.qelpy_qelResetToDefaultSettings, (reset_selector,), timeout,
                            selector)


_default = Network(_default_caller)
set_date = _default.set_date
get_ip = _default.get_ip
set_ip = _default.set_ip
get_dns = _default.get_dns
set_dns = _default.set_dns
get_hostname = _default.get_hostname
set_hostname = _default.set_hostname
reset_to_default_settings = _default.reset_to_default_settings
