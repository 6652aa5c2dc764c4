"""The failures of the library, mirroring the host layer's exception kinds."""


class Error(Exception):
    """A failure of the library or of a request to it.

    Attributes:
        message: the failure's fixed English message.
        source: where it was raised, such as "lib/Morva/Analyzer".
        operation: the operation that raised it.
        line: the source line that raised it.
    """

    def __init__(self, message: str, source: str = "", operation: str = "", line: int = 0):
        super().__init__(message, source, operation, line)
        self.message = message
        self.source = source
        self.operation = operation
        self.line = line

    def __str__(self) -> str:
        if not self.source:
            return self.message
        return f"{self.message} (at {self.source}:{self.operation}:{self.line})"


class InternalError(Error):
    """A failure inside the library: the base of the three kinds below."""


class InvalidRequest(InternalError):
    """A rejected argument or state."""


class FactoryFailed(InternalError):
    """A rejected creation (a duplicate pole, a second analyzer)."""


class Fatal(InternalError):
    """An abnormal analysis state."""


class LoadFailed(Error):
    """A failed archive load."""
