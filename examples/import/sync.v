// sync.v -- two clocks: a two-cycle path in the clka domain (ra1 to ra2)
// and a crossing into the clkb domain (ra2 to rb1) that is not timed. The
// three-file example of docs/import.md (with sync.sdf and sync.sdc).
module sync (clka, clkb, din, dout);
  input clka, clkb, din;
  output dout;
  wire a1, n1, n2, a2, b1;
  DFF ra1 (.CK(clka), .D(din), .Q(a1));
  BUF u1 (.A(a1), .Y(n1));
  BUF u2 (.A(n1), .Y(n2));
  DFF ra2 (.CK(clka), .D(n2), .Q(a2));
  DFF rb1 (.CK(clkb), .D(a2), .Q(b1));
  BUF u3 (.A(b1), .Y(dout));
endmodule
