# SPDX-License-Identifier: Apache-2.0
"""Network configuration of the service processor: interfaces, DNS, hostname, date, defaults.

Addresses are dotted-quad texts; as numbers (ip_address_to_string, string_to_ip_address) the
first dotted number is the most significant byte. selector is the configuration selector,
sent unchanged."""
from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass

from ._calls import status, take_block, take_text, text, text_in, value
from ._native import ffi, lib
from .errors import check


@dataclass
class IPInfo:
    """One interface's settings; an address the server marks absent is None."""
    enabled: bool
    dhcp: bool
    ip_address: str | None
    netmask: str | None
    gateway: str | None
    label: str
    hardware_address: bytes


@dataclass
class DNSInfo:
    """The DNS servers present (up to three) and the DNS text."""
    servers: list[str]
    text: str


def ip_address_to_string(address: int) -> str:
    """Dotted-quad text of an address; no remote call."""
    return text(lib.qelIPAddressToString, address)


def string_to_ip_address(address: str) -> int:
    """The address a dotted-quad text reads as; InvalidArgument when it is not one. No remote
    call."""
    return value(lib.qelStringToIPAddress, "unsigned int *", text_in(address))


def set_date(date: str) -> None:
    """Sends the date text unchanged."""
    status(lib.qelSetDate, text_in(date))


def get_date() -> str:
    """This machine's time in UTC, "YYYY-MM-DD HH:MM:SS GMT"; no remote call."""
    return text(lib.qelGetDate)


def get_ip(interface: int, selector: int = 0) -> IPInfo:
    """Reads one interface's settings."""
    operation = lib.qelGetIP_Str
    flags = ffi.new("int[2]")
    texts = ffi.new("char *[4]")
    block = ffi.new("unsigned char **")
    code = operation(selector, interface, flags, flags + 1, texts, texts + 1, texts + 2,
                     texts + 3, block)
    address, netmask, gateway, label = (take_text(texts[i]) for i in range(4))
    hardware_address = take_block(block[0], 6)
    check(code, operation.__name__)
    return IPInfo(bool(flags[0]), bool(flags[1]), address, netmask, gateway, label or "",
                  hardware_address or bytes(6))


def set_ip(interface: int, enabled: bool = True, dhcp: bool = False,
           ip_address: str | None = None, netmask: str | None = None,
           gateway: str | None = None, request_text: str | None = None,
           selector: int = 0) -> None:
    """Writes one interface's settings. With dhcp the addresses are not sent; otherwise a None
    address is sent absent, and a malformed one raises InvalidArgument before anything is
    sent."""
    status(lib.qelSetIP_Str, selector, interface, enabled, dhcp, text_in(ip_address),
           text_in(netmask), text_in(gateway), text_in(request_text))


def get_dns(selector: int = 0) -> DNSInfo:
    """Reads the DNS servers and the DNS text."""
    operation = lib.qelGetDNS_Str
    texts = ffi.new("char *[2]")
    code = operation(selector, texts, texts + 1)
    servers, dns_text = take_text(texts[0]), take_text(texts[1])
    check(code, operation.__name__)
    return DNSInfo(servers.split(", ") if servers else [], dns_text or "")


def set_dns(servers: Sequence[str], dns_text: str | None = None, selector: int = 0) -> None:
    """Writes up to three DNS servers (a fourth raises TooManyValues) and the DNS text."""
    status(lib.qelSetDNS_Str, selector, text_in(", ".join(servers)), text_in(dns_text))


def get_hostname(selector: int = 0) -> str:
    return text(lib.qelGetHostname, selector)


def set_hostname(hostname: str, selector: int = 0) -> None:
    status(lib.qelSetHostname, selector, text_in(hostname))


def reset_to_default_settings(reset_selector: int) -> None:
    """Asks the server to restore its defaults. The thread's connection waits up to 180 s for
    every later reply, until it is dropped."""
    status(lib.qelResetToDefaultSettings, ffi.new("unsigned short *", reset_selector))
